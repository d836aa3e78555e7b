#include "platform/desktop/SystemCodexLauncher.h"

#include "platform/desktop/CodexLinks.h"
#include "platform/desktop/DesktopServices.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace tolvaran {

const QString SystemCodexLauncher::kCommandLineName = QStringLiteral("codex");

namespace {

// ~/.npmrc is a short settings file; anything longer is not one and is not read.
constexpr qint64 kNpmSettingsLimit = 64 * 1024;

// npm's global prefix as its user settings give it (the environment, then ~/.npmrc); empty
// when npm is left at its default, whose bin folder (/usr/local/bin or /usr/bin) is searched
// anyway. Asking npm itself would start a process for every lookup.
QString npmGlobalPrefix(const QString &home)
{
    for (const char *name : {"NPM_CONFIG_PREFIX", "npm_config_prefix"}) {
        const QString value = qEnvironmentVariable(name);
        if (!value.isEmpty())
            return value;
    }
    QFile settings(home + QStringLiteral("/.npmrc"));
    if (settings.size() > kNpmSettingsLimit || !settings.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(settings.readAll());
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        const qsizetype equals = trimmed.indexOf(QLatin1Char('='));
        if (equals < 0 || trimmed.left(equals).trimmed() != QLatin1String("prefix"))
            continue;
        QString prefix = trimmed.mid(equals + 1).trimmed();
        if (prefix.startsWith(QLatin1String("~/")))
            prefix = home + prefix.mid(1);
        return QDir::isAbsolutePath(prefix) ? QDir::cleanPath(prefix) : QString();
    }
    return {};
}

// A folder as the error message names it: the home folder as "~".
QString shownFolder(const QString &folder, const QString &home)
{
    if (folder.startsWith(home + QLatin1Char('/')))
        return QLatin1Char('~') + folder.mid(home.size());
    return folder;
}

} // namespace

QStringList SystemCodexLauncher::commandLineSearchFolders()
{
    const QString home = QDir::homePath();
    QStringList folders;
    const QString npmPrefix = npmGlobalPrefix(home);
    if (!npmPrefix.isEmpty())
        folders << npmPrefix + QStringLiteral("/bin");
    for (const char *relative :
         {"/.local/bin", "/.npm-global/bin", "/bin", "/.cargo/bin", "/.volta/bin"})
        folders << home + QLatin1String(relative);
    folders << QStringLiteral("/usr/local/bin");
    folders.removeDuplicates();
    return folders;
}

SystemCodexLauncher::SystemCodexLauncher(DesktopServices &desktop)
    : m_desktop(desktop)
{
}

QString SystemCodexLauncher::findCommandLine()
{
    const QString onPath = QStandardPaths::findExecutable(kCommandLineName);
    if (!onPath.isEmpty())
        return onPath;
    return QStandardPaths::findExecutable(kCommandLineName, commandLineSearchFolders());
}

DesktopActionResult SystemCodexLauncher::openThread(const QString &threadID,
                                                    const QString &folder,
                                                    const std::stop_token &stopToken)
{
    // The same check guards the command line: an id that forms no link could be read as an
    // option there.
    const std::optional<QUrl> link = codexThreadLink(threadID);
    if (!link)
        return DesktopActionResult::failure(
            DesktopActionResult::Status::InvalidLink,
            QStringLiteral("Could not create the Codex chat link."));
    const DesktopActionResult opened = m_desktop.openUrl(*link, stopToken);
    // Stopped: no terminal opens as the program quits.
    if (opened.opened() || opened.status == DesktopActionResult::Status::Cancelled)
        return opened;
    return runCommandLine(folder, {QStringLiteral("resume"), threadID});
}

DesktopActionResult SystemCodexLauncher::startNewChat(const QString &folder,
                                                      const std::stop_token &stopToken)
{
    if (const std::optional<QUrl> link = codexNewChatLink(folder)) {
        const DesktopActionResult opened = m_desktop.openUrl(*link, stopToken);
        if (opened.opened() || opened.status == DesktopActionResult::Status::Cancelled)
            return opened;
    }
    return runCommandLine(folder, {});
}

DesktopActionResult SystemCodexLauncher::runCommandLine(const QString &folder,
                                                        const QStringList &arguments)
{
    const QString codex = findCommandLine();
    if (codex.isEmpty()) {
        const QString home = QDir::homePath();
        QStringList searched;
        for (const QString &searchFolder : commandLineSearchFolders())
            searched << shownFolder(searchFolder, home);
        return DesktopActionResult::failure(
            DesktopActionResult::Status::CodexNotFound,
            QStringLiteral("Codex CLI was not found on PATH or in %1.")
                .arg(searched.join(QStringLiteral(", "))));
    }
    return m_desktop.runInTerminal(folder, codex, arguments);
}

} // namespace tolvaran
