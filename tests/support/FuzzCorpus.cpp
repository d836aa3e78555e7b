#include "support/FuzzCorpus.h"

#include "support/codex/FakeCodexHome.h"
#include "support/codex/RolloutLines.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace tolvaran::fixtures {

namespace {

const Timestamp when = Timestamp::fromSeconds(1769947200.0);
const QString threadID = QStringLiteral("019a0000-0000-7000-8000-000000000001");

QList<QByteArray> rolloutSeeds()
{
    rollout::TokenCount tokens;
    tokens.last = {1200, 1000, 34, 10};
    tokens.total = tokens.last;
    tokens.primary = rollout::RateWindow{12.5, 300, when.addingSeconds(3600)};
    tokens.secondary = rollout::RateWindow{40.0, 10080, when.addingSeconds(86400)};
    tokens.planType = QStringLiteral("pro");
    const QByteArray opening =
        FakeCodexHome::threadOpening(when, threadID, QStringLiteral("/work/app"));
    return {
        opening + FakeCodexHome::turn(when, QStringLiteral("Fix the login"),
                                      FakeTurnEnd::completed, tokens),
        opening + FakeCodexHome::turn(when, QStringLiteral("Go on"), FakeTurnEnd::running),
        opening + FakeCodexHome::turn(when, QStringLiteral("Stop"), FakeTurnEnd::interrupted),
        opening + FakeCodexHome::turn(when, QStringLiteral("Fail"), FakeTurnEnd::failed),
        rollout::tokenCount(when, tokens),
        rollout::tokenCountWithoutInfo(when),
        rollout::tokenCount(QStringLiteral("2026-02-01T12:00:00.250+01:00"), tokens),
        rollout::userMessage(when, {QStringLiteral("<environment_context>x"),
                                    QStringLiteral("## My request: ship it")}),
    };
}

QList<QByteArray> sessionIndexSeeds()
{
    return {
        R"({"id":"t1","thread_name":"First","updated_at":"2026-02-01T11:00:00Z"})"
        "\n"
        R"({"id":"t1","thread_name":"  Renamed  "})"
        "\n",
        R"({"id":"t2","thread_name":""})"
        "\n"
        "not json\n"
        R"({"id":3,"thread_name":"x"})",
    };
}

QList<QByteArray> globalStateSeeds()
{
    const QList<FakeCodexProjectRecord> projects{
        {QStringLiteral("p1"), {QStringLiteral("/w/app")}, QStringLiteral("App")},
        {QStringLiteral("p2"), {QStringLiteral("/w/shared"), QStringLiteral("~/lib/")},
         std::nullopt},
    };
    const auto compact = [](const QJsonObject &object) {
        return QJsonDocument(object).toJson(QJsonDocument::Compact);
    };
    return {
        compact(FakeCodexHome::globalStateObject({QStringLiteral("p1"), QStringLiteral("/w/a/")},
                                                 {QStringLiteral("t1"), QStringLiteral("t2")},
                                                 projects)),
        compact(FakeCodexHome::globalStateObject({}, {}, {})),
        R"({"pinned-project-ids":["/w/shared","/w/shared/.."],"local-projects":[]})",
    };
}

QList<QByteArray> gitStatusSeeds()
{
    const auto nul = [](const QList<QByteArray> &entries) {
        QByteArray joined;
        for (const QByteArray &entry : entries)
            joined += entry + '\0';
        return joined;
    };
    const QByteArray head = "# branch.oid 0123456789abcdef0123456789abcdef01234567";
    return {
        nul({head, "# branch.head main", "# branch.upstream origin/main", "# branch.ab +2 -1",
             "1 .M N... 100644 100644 100644 aaaa bbbb app.txt",
             "2 R. N... 100644 100644 100644 aaaa bbbb R100 new name.txt", "old name.txt",
             "u UU N... 100644 100644 100644 100644 aaaa bbbb cccc conflict.txt",
             "? untracked.txt", "! ignored.txt"}),
        nul({"# branch.oid (initial)", "# branch.head (detached)"}),
    };
}

} // namespace

QStringList FuzzCorpus::targetNames()
{
    return {QStringLiteral("rollout_lines"), QStringLiteral("session_index"),
            QStringLiteral("global_state"), QStringLiteral("git_status")};
}

QList<QByteArray> FuzzCorpus::seeds(const QString &targetName)
{
    if (targetName == QLatin1String("rollout_lines"))
        return rolloutSeeds();
    if (targetName == QLatin1String("session_index"))
        return sessionIndexSeeds();
    if (targetName == QLatin1String("global_state"))
        return globalStateSeeds();
    if (targetName == QLatin1String("git_status"))
        return gitStatusSeeds();
    return {};
}

bool FuzzCorpus::write(const QString &targetName, const QString &folder)
{
    const QList<QByteArray> all = seeds(targetName);
    if (all.isEmpty() || !QDir().mkpath(folder))
        return false;
    for (qsizetype i = 0; i < all.size(); ++i) {
        QFile file(QStringLiteral("%1/seed-%2").arg(folder).arg(i));
        if (!file.open(QIODevice::WriteOnly) || file.write(all.at(i)) != all.at(i).size())
            return false;
    }
    return true;
}

} // namespace tolvaran::fixtures
