#include "TeamPresenceWorld.h"

#include "support/GitRepositoryBuilder.h"
#include "team/TeamPresenceRules.h"

#include <QJsonArray>

using namespace std::chrono_literals;
using tolvaran::LocalTeamProjectSource;
using tolvaran::ProjectRepositoryStore;
using tolvaran::fixtures::GitRepositoryBuilder;
using tolvaran::fixtures::waitUntil;

namespace {

QString remoteOf(const QString &name)
{
    return QStringLiteral("https://example.com/core/%1.git").arg(name);
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
        GitRepositoryBuilder repository(home.filePath(name));
        repository.git({QStringLiteral("remote"), QStringLiteral("add"), QStringLiteral("origin"),
                        remoteOf(name)});
        repository.writeFile(QStringLiteral("README.md"), "# " + name.toUtf8() + "\n");
        repository.commitAll(QStringLiteral("Start"));
        return repository;
    }

    static LocalTeamProjectSource sourceFor(const GitRepositoryBuilder &repository,
                                            const QString &name)
    {
        LocalTeamProjectSource source;
        source.path = repository.path();
        source.gitOriginURL = remoteOf(name);
        source.canDiscoverGitOrigin = true;
        return source;
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
    EXPECT_FALSE(service->localActivityByPath().contains(repositories[0].path()));
}
