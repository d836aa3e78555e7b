// Writes a realistic demonstration home for running Tolvaran without Codex (and for
// screenshots): forty project folders, most of them real git repositories with a bare remote
// (some ahead of it, some behind, some with uncommitted work), a Codex folder whose threads
// point at them, with rollout files carrying token counts and rate limits, a few chats still
// processing and one whose Codex was killed mid-turn, unread chats, pinned projects, a project
// named in Codex's own database, chat names in the session index, and the user's tags in the
// user-defaults file.
//
// Usage: demo_home_generator DIR
// DIR must be empty or missing. Tolvaran then runs on it with HOME=DIR,
// XDG_DATA_HOME=DIR/.local/share, XDG_CONFIG_HOME=DIR/.config and CODEX_HOME=DIR/.codex.
// A chat shows as processing only while a process has its rollout file open, as a running
// Codex does: DIR/live-rollouts.txt lists those files (one absolute path a line) for whoever
// shows the home to keep open (scripts/screenshots.sh does).
#include "data/catalog/ProjectTagSnapshot.h"
#include "data/catalog/ProjectTagStore.h"
#include "platform/storage/KeyValueStore.h"
#include "platform/Timestamp.h"
#include "support/codex/FakeCodexHome.h"
#include "support/markdown/DemoReadme.h"
#include "support/GitRepositoryBuilder.h"
#include "support/codex/RolloutLines.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <array>
#include <cstdio>
#include <exception>
#include <stdexcept>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

constexpr int projectCount = 40;
// The project whose newest chat lost its Codex process mid-turn, and the one that only
// Codex's database names (it has no record in the global state).
constexpr int killedChatProjectIndex = 5;
constexpr int codexNamedProjectIndex = 2;
// The span and turns of the long chats of the first projects.
constexpr double longChatDays = 26;
constexpr int longChatTurns = 14;

const std::array<const char *, projectCount> projectNames{{
    "atlas-api",        "billing-service",  "cobalt-ui",       "delta-sync",
    "ember-cli",        "fjord-notes",      "granite-db",      "harbor-deploy",
    "indigo-auth",      "juniper-mobile",   "kestrel-search",  "lumen-docs",
    "meridian-etl",     "nimbus-infra",     "onyx-payments",   "prairie-analytics",
    "quartz-scheduler", "ridge-gateway",    "sierra-ml",       "tundra-cache",
    "umber-website",    "vertex-graph",     "willow-chat",     "zephyr-queue",
    "aurora-metrics",   "basalt-storage",   "cedar-forms",     "dune-render",
    "echo-webhooks",    "flint-lint",       "garnet-ledger",   "hazel-i18n",
    "iris-vision",      "jasper-reports",   "krypton-crypto",  "lotus-editor",
    "maple-maps",       "nova-notify",      "opal-orders",     "pebble-embedded",
}};

// The hosted address of the demonstration's repositories (bench/demo_team_server serves a
// team on cobalt-ui's).
const QString demoRemoteBase = QStringLiteral("https://git.example.com/demo/");

const std::array<const char *, 8> commitSubjects{{
    "Initial import",
    "Add configuration loading",
    "Handle empty input in the parser",
    "Document the release process",
    "Speed up the startup path",
    "Fix off-by-one in pagination",
    "Add health check endpoint",
    "Tidy up error messages",
}};

const std::array<const char *, 4> authors{{"Ada", "Grace", "Linus", "Margaret"}};

// What each project looks like; chosen by index so that every run writes the same home.
struct ProjectPlan
{
    QString name;
    QString path;
    bool isRepository = true;
    int commitsBehind = 0;  // commits on the remote that the local clone has fetched only
    int commitsAhead = 0;   // local commits not pushed
    bool isDirty = false;   // uncommitted edits
    int threadCount = 3;
    bool hasCodexRecord = false; // a project record in Codex's global state
    bool isPinned = false;
};

ProjectPlan planFor(int index, const QString &codeFolder)
{
    ProjectPlan plan;
    plan.name = QString::fromLatin1(projectNames[std::size_t(index)]);
    plan.path = codeFolder + QLatin1Char('/') + plan.name;
    plan.isRepository = index % 13 != 12; // three plain folders
    plan.commitsBehind = index % 7 == 3 ? 1 + index % 3 : 0;
    plan.commitsAhead = index % 5 == 1 ? 1 + index % 4 : 0;
    plan.isDirty = index % 4 == 2;
    plan.threadCount = 2 + (index * 7) % 6;
    plan.hasCodexRecord = index % 3 != 2;
    plan.isPinned = index == 0 || index == 4 || index == 9;
    return plan;
}

void buildRepository(const ProjectPlan &plan, const QString &remotesFolder, int index)
{
    const QString remotePath =
        remotesFolder + QLatin1Char('/') + plan.name + QStringLiteral(".git");
    GitRepositoryBuilder::bare(remotePath);
    GitRepositoryBuilder local = GitRepositoryBuilder::clone(remotePath, plan.path);
    local.writeFile(QStringLiteral("README.md"), DemoReadme::readme(plan.name));
    local.writeFile(QStringLiteral("docs/architecture.md"),
                    "# Architecture\n\n- one service\n- one database\n");
    local.writeFile(QStringLiteral("src/main.c"), "int main(void) { return 0; }\n");
    const int baseCommits = 3 + index % 4;
    for (int c = 0; c < baseCommits; ++c) {
        local.writeFile(QStringLiteral("CHANGES.md"),
                        QByteArray("# Changes\n\n") + QByteArray::number(c) + "\n");
        const char *subject = commitSubjects[std::size_t(c) % commitSubjects.size()];
        const char *author = authors[std::size_t(c + index) % authors.size()];
        local.commitAll(QString::fromLatin1(subject), QString::fromLatin1(author));
    }
    local.git({QStringLiteral("push"), QStringLiteral("--quiet"), QStringLiteral("origin"),
               QStringLiteral("main")});

    if (plan.commitsBehind > 0) {
        // A teammate's clone pushes commits that ours has fetched but not merged.
        const QString otherPath =
            remotesFolder + QLatin1Char('/') + plan.name + QStringLiteral("-teammate");
        GitRepositoryBuilder other = GitRepositoryBuilder::clone(remotePath, otherPath);
        for (int c = 0; c < plan.commitsBehind; ++c) {
            other.writeFile(QStringLiteral("src/feature.c"),
                            QByteArray("/* feature step ") + QByteArray::number(c) + " */\n");
            other.commitAll(QStringLiteral("Teammate change %1").arg(c + 1),
                            QStringLiteral("Grace"));
        }
        other.git({QStringLiteral("push"), QStringLiteral("--quiet"), QStringLiteral("origin"),
                   QStringLiteral("main")});
        QDir(otherPath).removeRecursively();
        local.git({QStringLiteral("fetch"), QStringLiteral("--quiet"), QStringLiteral("origin")});
    }
    for (int c = 0; c < plan.commitsAhead; ++c) {
        local.writeFile(QStringLiteral("src/local.c"),
                        QByteArray("/* local work ") + QByteArray::number(c) + " */\n");
        local.commitAll(QStringLiteral("Work in progress %1").arg(c + 1));
    }
    if (plan.isDirty) {
        local.writeFile(QStringLiteral("src/main.c"),
                        "int main(void) {\n    /* editing */\n    return 0;\n}\n");
        local.writeFile(QStringLiteral("notes/todo.md"), "- finish the change\n");
    }
}

rollout::TokenCount tokensFor(int serial, int turnIndex, rollout::TokenCount total,
                              Timestamp now)
{
    rollout::TokenCount count = total;
    count.last = {18000 + 1500 * ((serial + turnIndex) % 9), 12000 + 700 * (serial % 5),
                  900 + 120 * ((serial * 3 + turnIndex) % 11), 350};
    count.total.input += count.last.input;
    count.total.cachedInput += count.last.cachedInput;
    count.total.output += count.last.output;
    count.total.reasoningOutput += count.last.reasoningOutput;
    count.primary = rollout::RateWindow{18.0, 300, now.addingSeconds(2.5 * 3600)};
    count.secondary = rollout::RateWindow{41.5, 10080, now.addingSeconds(3.2 * 86400)};
    count.planType = QStringLiteral("pro");
    return count;
}

void writeHome(const QString &home)
{
    const QString codeFolder = home + QStringLiteral("/code");
    const QString remotesFolder = home + QStringLiteral("/remotes");
    QDir().mkpath(codeFolder);
    QDir().mkpath(remotesFolder);

    FakeCodexHome codex(home + QStringLiteral("/.codex"));
    const Timestamp now = Timestamp::now();
    const QUuid space =
        QUuid::fromString(QStringLiteral("{7d1f6a52-0c3b-4e9a-8f21-3b5e6c7d8a90}"));

    QStringList unreadThreadIDs;
    QStringList pinnedProjectIDs;
    QList<FakeCodexProjectRecord> records;
    QList<ProjectPlan> plans;
    int serial = 0;
    int processingLeft = 3;
    QStringList liveRollouts;

    for (int index = 0; index < projectCount; ++index) {
        const ProjectPlan plan = planFor(index, codeFolder);
        plans.append(plan);
        if (plan.isRepository)
            buildRepository(plan, remotesFolder, index);
        else
            QDir().mkpath(plan.path);

        QString projectID;
        if (plan.hasCodexRecord) {
            projectID = QUuid::createUuidV5(space, plan.path).toString(QUuid::WithoutBraces);
            records.append({projectID, {plan.path}, std::nullopt});
            if (plan.isPinned)
                pinnedProjectIDs.append(projectID);
        } else if (index == codexNamedProjectIndex) {
            // A project the command-line tool named: only its database knows the name.
            projectID = QUuid::createUuidV5(space, plan.path).toString(QUuid::WithoutBraces);
            codex.addDatabaseProject({projectID, QStringLiteral("Cobalt Design System"),
                                      {plan.path}});
        }

        // Projects further down the list were last used longer ago.
        const double projectAge = index < 6 ? 120.0 * (index + 1) : 2400.0 * index * index;
        for (int t = 0; t < plan.threadCount; ++t, ++serial) {
            FakeCodexThread thread;
            thread.id = QUuid::createUuidV5(space, QString::number(serial))
                            .toString(QUuid::WithoutBraces);
            thread.cwd = plan.path;
            const QStringList &requests = FakeCodexHome::sampleRequests();
            const QString request = requests[serial % requests.size()];
            thread.title = request;
            thread.preview = request;
            thread.updatedAt = now.addingSeconds(-(projectAge + 5400.0 * t));
            thread.createdAt = thread.updatedAt.addingSeconds(-1800.0 - 600.0 * (serial % 4));
            thread.recencyAt = thread.updatedAt;
            thread.archived = t > 0 && serial % 11 == 10;
            thread.gitBranch = plan.isRepository
                ? std::optional(t % 3 == 2 ? QStringLiteral("feature/%1").arg(serial % 4)
                                           : QStringLiteral("main"))
                : std::nullopt;
            // The clones fetch from local bare remotes; the chats record the hosted address
            // those stand for, which is what names the repository to a team.
            if (plan.isRepository)
                thread.gitOriginURL = demoRemoteBase + plan.name + QStringLiteral(".git");
            thread.model = QStringLiteral("gpt-5-codex");
            if (!projectID.isEmpty())
                thread.projectID = projectID;

            // The newest chat of the first projects is still running.
            const bool running = t == 0 && index < 6 && index % 2 == 1 && processingLeft > 0;
            if (running) {
                --processingLeft;
                thread.updatedAt = now.addingSeconds(-20.0 * (index + 1));
                thread.recencyAt = thread.updatedAt;
            }

            // The oldest chat of the first projects went on for weeks, so that their usage
            // charts show a month.
            const bool longRunning = index < 6 && t > 0 && t == plan.threadCount - 1;
            if (longRunning)
                thread.createdAt = thread.updatedAt.addingSeconds(-longChatDays * 86400.0);
            QByteArray lines = FakeCodexHome::threadOpening(thread.createdAt, thread.id,
                                                            thread.cwd);
            rollout::TokenCount tokens;
            const int turns = longRunning ? longChatTurns : 2 + serial % 4;
            const double turnSpacing =
                (thread.updatedAt.seconds - thread.createdAt.seconds) / turns;
            for (int turn = 0; turn < turns; ++turn) {
                tokens = tokensFor(serial, turn, tokens, now);
                const Timestamp start = thread.createdAt.addingSeconds(turnSpacing * turn);
                const QString text = turn == 0 ? request : QStringLiteral("Now also: ") + request;
                const bool last = turn == turns - 1;
                lines += FakeCodexHome::turn(start, text,
                                             last && running ? FakeTurnEnd::running
                                                             : FakeTurnEnd::completed,
                                             tokens);
            }
            thread.tokensUsed = tokens.total.total();

            const QString id = thread.id;
            const Timestamp updatedAt = thread.updatedAt;
            const QString rolloutPath = codex.addThread(std::move(thread));
            codex.writeRollout(id, lines);
            codex.setRolloutModificationTime(id, updatedAt);
            if (running && index == killedChatProjectIndex)
                codex.leaveWriterLock(id); // its Codex was killed mid-turn
            else if (running)
                liveRollouts.append(rolloutPath);

            if (serial % 4 == 0)
                codex.appendSessionIndexName(id, QStringLiteral("%1: %2").arg(plan.name, request),
                                             updatedAt);
            if (t == 0 && (index % 6 == 0 || index == 3))
                unreadThreadIDs.append(id);
        }
    }
    codex.writeDatabase();
    QFile live(home + QStringLiteral("/live-rollouts.txt"));
    const QByteArray liveList = QFile::encodeName(liveRollouts.join(QLatin1Char('\n'))) + '\n';
    if (!live.open(QIODevice::WriteOnly) || live.write(liveList) != liveList.size())
        throw std::runtime_error("could not write the list of live rollouts");
    codex.writeGlobalState(
        FakeCodexHome::globalStateObject(pinnedProjectIDs, unreadThreadIDs, records));

    // The user's tags, in the user-defaults file Tolvaran reads under XDG_CONFIG_HOME.
    KeyValueStore defaults(home + QStringLiteral("/.config/Tolvaran/Tolvaran.conf"));
    ProjectTagStore tagStore(defaults);
    const std::array<const char *, 4> tagNames{{"Client work", "Open source", "Experiments",
                                                "Infrastructure"}};
    ProjectTagSnapshot tags;
    for (const char *name : tagNames) {
        tags.tags.append({QUuid::createUuidV5(space, QString::fromLatin1(name)),
                          QString::fromLatin1(name)});
    }
    for (int index = 0; index < projectCount; ++index) {
        QSet<QUuid> ids;
        if (index % 3 == 0)
            ids.insert(tags.tags.at(0).id);
        if (index % 5 == 1)
            ids.insert(tags.tags.at(1).id);
        if (index % 7 == 2)
            ids.insert(tags.tags.at(2).id);
        if (plans.at(index).name.contains(QStringLiteral("infra"))
            || plans.at(index).name.contains(QStringLiteral("deploy"))
            || plans.at(index).name.contains(QStringLiteral("queue")))
            ids.insert(tags.tags.at(3).id);
        if (!ids.isEmpty())
            tags.projectTagIDsByPath.insert(plans.at(index).path, ids);
    }
    tagStore.save(tags);
    if (!defaults.sync())
        throw std::runtime_error("could not write the user-defaults file");

    QDir().mkpath(home + QStringLiteral("/.local/share"));
    std::printf("Wrote %d projects and %d chats to %s\n", projectCount, serial,
                qPrintable(home));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: demo_home_generator DIR\n");
        return 2;
    }
    const QString home = QFileInfo(arguments.at(1)).absoluteFilePath();
    if (QFileInfo(home).exists() && !QDir(home).isEmpty()) {
        std::fprintf(stderr, "demo_home_generator: %s is not empty\n", qPrintable(home));
        return 2;
    }
    try {
        writeHome(home);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "demo_home_generator: %s\n", error.what());
        return 1;
    }
    return 0;
}
