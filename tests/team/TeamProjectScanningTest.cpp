#include "TeamPresenceWorld.h"

#include "support/GitRepositoryBuilder.h"
#include "support/team/TeamProjectRepositories.h"
#include "team/presence/TeamPresenceRules.h"
#include "team/presence/WorkSummaryMemory.h"

#include <QJsonArray>

using namespace std::chrono_literals;
using tolvaran::LocalTeamProjectSource;
using tolvaran::ProjectRepositoryStore;
using tolvaran::fixtures::GitRepositoryBuilder;
using tolvaran::fixtures::waitUntil;

namespace {

QString remoteOf(const QString &name)
{
    return tolvaran::fixtures::teamProjectRemote(name);
}

QString repositoryIdOf(const QString &remote)
{
    return ProjectRepositoryStore::repositoryIdentity(
               *ProjectRepositoryStore::normalizedRemote(remote))
        ->id;
}

} // namespace

// Real repositories on disk, scanned by the service through the repository store.
class TeamProjectScanning : public TeamPresenceWorld
{
protected:
    GitRepositoryBuilder makeRepository(const QString &name)
    {
        return tolvaran::fixtures::makeTeamProjectRepository(home.filePath(name), name);
    }

    static LocalTeamProjectSource sourceFor(const GitRepositoryBuilder &repository,
                                            const QString &name)
    {
        return tolvaran::fixtures::teamProjectSource(repository, name);
    }

    // Asks for a scan and waits until the service says it is done.
    bool refresh(const QSet<QString> &paths)
    {
        bool done = false;
        service->refreshProjects(paths, [&done] { done = true; });
        return waitUntil([&] { return done; }, 60s);
    }

    QList<QJsonObject> commitFrames() const
    {
        QList<QJsonObject> commits;
        for (const QByteArray &frame : clientFrames(QStringLiteral("commit.created")))
            commits.append(json(frame).value(QLatin1String("commit")).toObject());
        return commits;
    }
};

TEST_F(TeamProjectScanning, aLocalCommitReachesTheTeamOnceAlsoAcrossAReconnect)
{
    GitRepositoryBuilder app = makeRepository(QStringLiteral("app"));
    registerDirectly();
    const QString wireID =
        tolvaran::TeamPresenceRules::wireRepositoryID(teamId, repositoryIdOf(remoteOf("app")));
    server.team(teamId).overlapOverride = QStringList{wireID};
    connect();
    service->updateProjects({sourceFor(app, QStringLiteral("app"))});

    // The first scan after the start only learns the head.
    ASSERT_TRUE(refresh({app.path()}));
    EXPECT_TRUE(cache.teamStates().contains(app.path()));
    settle();
    EXPECT_TRUE(commitFrames().isEmpty());

    app.writeFile(QStringLiteral("src/export.cpp"), "int main() {}\n");
    const QString head = app.commitAll(QStringLiteral("Add the export"));
    ASSERT_TRUE(refresh({app.path()}));
    ASSERT_TRUE(waitUntil([&] { return commitFrames().size() == 1; }));
    const QJsonObject sent = commitFrames().constFirst();
    EXPECT_EQ(sent.value(QLatin1String("subject")).toString(), QStringLiteral("Add the export"));
    EXPECT_EQ(sent.value(QLatin1String("headSha")).toString(), head);
    EXPECT_EQ(sent.value(QLatin1String("repositoryId")).toString(), wireID);
    EXPECT_EQ(sent.value(QLatin1String("branch")).toString(), QStringLiteral("main"));
    EXPECT_EQ(sent.value(QLatin1String("id")).toString().size(), 36);

    // Scanning the same head again announces nothing.
    ASSERT_TRUE(refresh({app.path()}));
    settle();
    EXPECT_EQ(commitFrames().size(), 1);

    // A commit made while the socket is down goes out once the next socket is ready; the
    // reconnection keeps the known heads, so nothing earlier is announced again.
    server.closeSockets(teamId);
    ASSERT_TRUE(waitUntil([&] { return !service->isSocketReady(); }));
    app.writeFile(QStringLiteral("src/import.cpp"), "int main() {}\n");
    app.commitAll(QStringLiteral("Add the import"));
    ASSERT_TRUE(refresh({app.path()}));
    EXPECT_EQ(service->pendingOutgoingCommits().size(), 1);
    advance(2s);
    ASSERT_TRUE(waitUntil([&] { return commitFrames().size() == 2; }));
    EXPECT_EQ(commitFrames().constLast().value(QLatin1String("subject")).toString(),
              QStringLiteral("Add the import"));
    ASSERT_TRUE(refresh({app.path()}));
    settle();
    EXPECT_EQ(commitFrames().size(), 2);

    // A reconfiguration forgets the heads: its first scan announces nothing.
    app.writeFile(QStringLiteral("src/more.cpp"), "int main() {}\n");
    app.commitAll(QStringLiteral("More"));
    connect();
    ASSERT_TRUE(refresh({app.path()}));
    settle();
    EXPECT_EQ(commitFrames().size(), 2);
}

TEST_F(TeamProjectScanning, scansEveryQueuedProjectAndDropsOnesThatLoseTheirRemote)
{
    QList<GitRepositoryBuilder> repositories;
    QList<LocalTeamProjectSource> sources;
    QSet<QString> paths;
    for (int index = 0; index < 9; ++index) {
        const QString name = QStringLiteral("project-%1").arg(index);
        repositories.append(makeRepository(name));
        sources.append(sourceFor(repositories.constLast(), name));
        paths.insert(repositories.constLast().path());
    }
    // A dirty project shows in the published activity with its changes.
    repositories[0].writeFile(QStringLiteral("notes.txt"), "draft\n");
    settings.setEnabled(true);
    service->reconfigure();
    service->updateProjects(sources);

    // Switched off, nothing is queued: the paths are forgotten.
    settings.setEnabled(false);
    ASSERT_TRUE(refresh(paths));
    EXPECT_TRUE(cache.teamStates().isEmpty());
    settings.setEnabled(true);

    // Paths that are no project of the list are ignored.
    ASSERT_TRUE(refresh({QStringLiteral("/nowhere")}));
    EXPECT_TRUE(cache.teamStates().isEmpty());

    ASSERT_TRUE(refresh(paths));
    EXPECT_EQ(cache.teamStates().size(), 9);
    const auto dirty = service->localActivity(repositories[0].path());
    ASSERT_TRUE(dirty.has_value());
    EXPECT_EQ(dirty->changedFiles, QStringList{QStringLiteral("notes.txt")});
    EXPECT_FALSE(service->localActivity(repositories[1].path()).has_value());

    // A project without a remote any more has no identity: it leaves the cache and the team.
    repositories[0].git({QStringLiteral("remote"), QStringLiteral("remove"),
                         QStringLiteral("origin")});
    sources[0].gitOriginURL.reset();
    service->updateProjects(sources);
    ASSERT_TRUE(refresh({repositories[0].path()}));
    EXPECT_EQ(cache.teamStates().size(), 8);
    EXPECT_FALSE(cache.teamStates().contains(repositories[0].path()));
    // The published activity also holds the list's placeholders, which a job of their own
    // names after the list changed; on a busy machine the scan may finish first.
    EXPECT_TRUE(waitUntil(
        [&] { return !service->localActivityByPath().contains(repositories[0].path()); }));
}

// Work summaries through a stand-in Codex tool that counts its runs.
class TeamWorkSummaries : public TeamProjectScanning
{
protected:
    void writeCountingTool(const QString &answerOrFailure)
    {
        writeCodexTool(QStringLiteral("echo run >> %1\n"
                                      "out=''; previous=''\n"
                                      "for argument in \"$@\"; do\n"
                                      "  [ \"$previous\" = -o ] && out=\"$argument\"\n"
                                      "  previous=\"$argument\"\n"
                                      "done\n"
                                      "/bin/cat > /dev/null\n")
                           .arg(tolvaran::fixtures::shellQuoted(runsPath))
                       + answerOrFailure);
    }
    // A run of the tool is a child process a background job starts: no later event shows
    // that one which should not start has not, so this waits a bounded time for it.
    static void waitForStrayRuns()
    {
        tolvaran::fixtures::processEventsFor(std::chrono::milliseconds(300));
    }
    int runs() const
    {
        QFile file(runsPath);
        return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
    }
    QHash<QString, QString> storedSummaries() const
    {
        using tolvaran::TeamPresenceService;
        return tolvaran::readWorkSummaries(defaults,
                                           TeamPresenceService::generatedWorkSummariesKey);
    }

    const QString runsPath = home.filePath(QStringLiteral("runs"));
    const QString sentence = QStringLiteral("Adding a CSV export to the reports");
    const QString answer = QStringLiteral("printf '%1' > \"$out\"\n").arg(sentence);
};

TEST_F(TeamWorkSummaries, aDirtyProjectGetsOneSentenceThatTheTeamSeesAndALaterRunReuses)
{
    writeCountingTool(answer);
    GitRepositoryBuilder app = makeRepository(QStringLiteral("app"));
    app.writeFile(QStringLiteral("src/export.cpp"), "int exportCsv();\n");
    registerDirectly();
    server.team(teamId).overlapOverride = QStringList{
        tolvaran::TeamPresenceRules::wireRepositoryID(teamId, repositoryIdOf(remoteOf("app")))};
    connect();
    service->updateProjects({sourceFor(app, QStringLiteral("app"))});
    ASSERT_TRUE(refresh({app.path()}));

    ASSERT_TRUE(waitUntil([&] {
        const auto activity = service->localActivity(app.path());
        return activity && activity->workSummary == sentence;
    }, 30s));
    const auto sentSummary = [&] {
        const QJsonArray projects =
            json(stateFrames().constLast()).value(QLatin1String("projects")).toArray();
        return projects.isEmpty() ? QString()
                                  : projects.first()
                                        .toObject()
                                        .value(QLatin1String("workSummary"))
                                        .toString();
    };
    ASSERT_TRUE(waitUntil([&] { return sentSummary() == sentence; }));
    EXPECT_EQ(storedSummaries().values(), QStringList{sentence});

    // The same work scanned again keeps its sentence without asking the tool.
    ASSERT_TRUE(refresh({app.path()}));
    waitForStrayRuns();
    EXPECT_EQ(runs(), 1);
    EXPECT_EQ(service->localActivity(app.path())->workSummary, sentence);

    // A later run of the program finds the sentence by the work's fingerprint.
    service.reset();
    service = std::make_unique<tolvaran::TeamPresenceService>(settings, repositoryStore, cache,
                                                              generator, clock);
    service->updateProjects({sourceFor(app, QStringLiteral("app"))});
    ASSERT_TRUE(refresh({app.path()}));
    EXPECT_EQ(service->localActivity(app.path())->workSummary, sentence);
    waitForStrayRuns();
    EXPECT_EQ(runs(), 1);
}

TEST_F(TeamWorkSummaries, aFailedGenerationWaitsTwoMinutesUnlessTheWorkChanges)
{
    writeCountingTool(QStringLiteral("exit 1\n"));
    GitRepositoryBuilder app = makeRepository(QStringLiteral("app"));
    app.writeFile(QStringLiteral("src/export.cpp"), "int exportCsv();\n");
    service->updateProjects({sourceFor(app, QStringLiteral("app"))});
    ASSERT_TRUE(refresh({app.path()}));
    ASSERT_TRUE(waitUntil([&] { return runs() == 1; }));
    waitForStrayRuns();

    ASSERT_TRUE(refresh({app.path()}));
    clock.advance(119s);
    ASSERT_TRUE(refresh({app.path()}));
    waitForStrayRuns();
    EXPECT_EQ(runs(), 1);

    clock.advance(1s);
    ASSERT_TRUE(refresh({app.path()}));
    ASSERT_TRUE(waitUntil([&] { return runs() == 2; }));
    waitForStrayRuns();

    // Other work is another fingerprint: it does not wait.
    app.writeFile(QStringLiteral("src/export.cpp"), "int exportCsv(int);\n");
    ASSERT_TRUE(refresh({app.path()}));
    ASSERT_TRUE(waitUntil([&] { return runs() == 3; }));
    waitForStrayRuns();
    EXPECT_EQ(runs(), 3);
    EXPECT_FALSE(service->localActivity(app.path())->workSummary.has_value());
    EXPECT_TRUE(storedSummaries().isEmpty());
}

TEST_F(TeamWorkSummaries, servicesOfTwoTeamsKeepEachOthersSentences)
{
    writeCountingTool(answer);
    GitRepositoryBuilder app = makeRepository(QStringLiteral("app"));
    GitRepositoryBuilder tools = makeRepository(QStringLiteral("tools"));
    app.writeFile(QStringLiteral("src/export.cpp"), "int exportCsv();\n");
    tools.writeFile(QStringLiteral("lint.sh"), "exit 0\n");
    tolvaran::TeamSettingsStore otherSettings{defaults, QStringLiteral("other"), false,
                                              home.filePath(QStringLiteral("support"))};
    otherSettings.setEnabled(true);
    tolvaran::WorkSummaryGenerator otherGenerator{home.filePath(QStringLiteral("tmp"))};
    tolvaran::TeamPresenceService other(otherSettings, repositoryStore, cache, otherGenerator,
                                        clock);

    service->updateProjects({sourceFor(app, QStringLiteral("app"))});
    ASSERT_TRUE(refresh({app.path()}));
    ASSERT_TRUE(waitUntil([&] { return storedSummaries().size() == 1; }));

    other.updateProjects({sourceFor(tools, QStringLiteral("tools"))});
    bool done = false;
    other.refreshProjects({tools.path()}, [&done] { done = true; });
    ASSERT_TRUE(waitUntil([&] { return done && runs() == 2; }, 60s));
    ASSERT_TRUE(waitUntil([&] {
        const auto activity = other.localActivity(tools.path());
        return activity && activity->workSummary.has_value();
    }));
    EXPECT_EQ(storedSummaries().size(), 2);
}

TEST_F(TeamWorkSummaries, codexWorkingOnARequestIsSummarisedFirst)
{
    // The tool notes which repository each prompt is about.
    const QString orderPath = home.filePath(QStringLiteral("order"));
    writeCodexTool(QStringLiteral("while read -r line; do\n"
                                  "  case \"$line\" in 'Repository: '*) echo \"$line\" >> %1;;"
                                  " esac\n"
                                  "done\n"
                                  "exit 1\n")
                       .arg(tolvaran::fixtures::shellQuoted(orderPath)));
    QList<LocalTeamProjectSource> sources;
    QSet<QString> paths;
    for (const QString &name : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}) {
        GitRepositoryBuilder repository = makeRepository(name);
        LocalTeamProjectSource source = sourceFor(repository, name);
        if (name == QStringLiteral("a"))
            repository.writeFile(QStringLiteral("draft.txt"), "dirty\n");
        else
            source.isCodexProcessing = true; // b with a request of the user's, c without
        if (name == QStringLiteral("b"))
            source.latestUserRequest = QStringLiteral("Speed up the import");
        sources.append(source);
        paths.insert(source.path);
    }
    service->updateProjects(sources);
    ASSERT_TRUE(refresh(paths));
    const auto order = [&] {
        QFile file(orderPath);
        return file.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                   : QStringList();
    };
    ASSERT_TRUE(waitUntil([&] { return order().size() == 3; }, 30s));
    EXPECT_EQ(order(), QStringList({"Repository: b", "Repository: a", "Repository: c"}));
}
