#include "support/markdown/DemoReadme.h"

#include <array>

namespace tolvaran::fixtures::DemoReadme {

namespace {

struct Badge
{
    const char *name;
    const char *value;
    const char *color;
};

constexpr std::array<Badge, 3> badges{{
    {"build", "passing", "#4c1"},
    {"coverage", "87%", "#dfb317"},
    {"licence", "MIT", "#007ec6"},
}};

// Wide enough for the badge fonts' letters at 11 pixels.
constexpr int pixelsPerLetter = 7;
constexpr int textPadding = 12;

} // namespace

QStringList badgeNames()
{
    QStringList names;
    for (const Badge &badge : badges)
        names.append(QString::fromLatin1(badge.name));
    return names;
}

QString badgePath(const QString &name)
{
    return QStringLiteral("/badges/%1.svg").arg(name);
}

QByteArray badgeSvg(const QString &name)
{
    for (const Badge &badge : badges) {
        if (name != QLatin1String(badge.name))
            continue;
        const int left = int(qstrlen(badge.name)) * pixelsPerLetter + textPadding;
        const int right = int(qstrlen(badge.value)) * pixelsPerLetter + textPadding;
        return QStringLiteral(
                   "<svg xmlns='http://www.w3.org/2000/svg' width='%1' height='20'>"
                   "<rect width='%1' height='20' rx='3' fill='#555'/>"
                   "<rect x='%2' width='%3' height='20' rx='3' fill='%4'/>"
                   "<rect x='%2' width='4' height='20' fill='%4'/>"
                   "<g fill='#fff' font-family='DejaVu Sans,Verdana,sans-serif' "
                   "font-size='11'><text x='6' y='14'>%5</text>"
                   "<text x='%6' y='14'>%7</text></g></svg>")
            .arg(left + right)
            .arg(left)
            .arg(right)
            .arg(QLatin1String(badge.color), QLatin1String(badge.name))
            .arg(left + 6)
            .arg(QLatin1String(badge.value))
            .toUtf8();
    }
    return {};
}

QByteArray readme(const QString &projectName)
{
    QString badgeRow;
    for (const Badge &badge : badges) {
        badgeRow += QStringLiteral("[![%1](http://127.0.0.1:%2%3)](https://example.com/%1) ")
                        .arg(QLatin1String(badge.name))
                        .arg(demoBadgePort)
                        .arg(badgePath(QLatin1String(badge.name)));
    }
    return (QStringLiteral("# ") + projectName + QStringLiteral("\n\n") + badgeRow.trimmed()
            + QStringLiteral(
                "\n\n"
                "Part of the demo workspace: a small service with a command-line front end. "
                "It reads its settings from `demo.toml` and **never** writes outside its "
                "data folder.\n\n"
                "## Building\n\n"
                "```sh\n"
                "make\n"
                "./build/%1 --config demo.toml\n"
                "```\n\n"
                "## Settings\n\n"
                "| Setting | Default | Meaning |\n"
                "| --- | ---: | --- |\n"
                "| `port` | 8080 | where it listens |\n"
                "| `workers` | 4 | requests served at once |\n"
                "| `log_level` | info | how much it logs |\n\n"
                "## Status\n\n"
                "- [x] configuration loading\n"
                "- [x] health check endpoint\n"
                "- [ ] graceful restarts\n\n"
                "> See `docs/architecture.md` for how the parts fit together.\n")
                  .arg(projectName))
        .toUtf8();
}

} // namespace tolvaran::fixtures::DemoReadme
