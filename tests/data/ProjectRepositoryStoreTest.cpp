#include "data/git/ProjectRepositoryStore.h"
#include "support/GitDouble.h"
#include "support/GitRepositoryBuilder.h"
#include "support/TemporaryHome.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace tolvaran;
using fixtures::GitDouble;
using fixtures::GitRepositoryBuilder;

namespace {

ProjectGitStatus knownRepository()
{
    ProjectGitStatus status;
    status.isRepository = true;
    status.branch = QStringLiteral("main");
    status.upstream = QStringLiteral("origin/main");
    status.aheadCount = 2;
    status.checkedAt = Timestamp::fromSeconds(1'700'000'000);
    return status;
}

} // namespace

TEST(ProjectRepositoryStore, statusOfFoldersThatAreNoRepository)
{
    fixtures::TemporaryHome home;
    const QString log = home.filePath(QStringLiteral("git.log"));
    const ProjectRepositoryStore store(GitDouble::recording(home.path(), log));
    QDir().mkpath(home.filePath(QStringLiteral("plain")));

    const ProjectGitStatus missing =
        store.loadGitStatus(home.filePath(QStringLiteral("gone")), std::nullopt);
    EXPECT_FALSE(missing.isRepository);
    EXPECT_TRUE(GitDouble::loggedRuns(log).isEmpty()) << "git must not start for a missing folder";

    // A folder that vanished is a real answer: a stored status does not survive it.
    EXPECT_FALSE(store.loadGitStatus(home.filePath(QStringLiteral("gone")), knownRepository())
                     .isRepository);

    const ProjectGitStatus plain =
        store.loadGitStatus(home.filePath(QStringLiteral("plain")), knownRepository());
    EXPECT_FALSE(plain.isRepository);
    EXPECT_FALSE(plain.branch);
    EXPECT_FALSE(plain.upstream);
    EXPECT_EQ(plain.aheadCount, 0);
    EXPECT_EQ(GitDouble::loggedRuns(log).size(), 1);
}

TEST(ProjectRepositoryStore, statusOfUnbornDetachedAndTrackingBranches)
{
    fixtures::TemporaryHome home;
    const ProjectRepositoryStore store;

    GitRepositoryBuilder unborn(home.filePath(QStringLiteral("unborn")));
    const ProjectGitStatus fresh = store.loadGitStatus(unborn.path(), std::nullopt);
    EXPECT_TRUE(fresh.isRepository);
    EXPECT_EQ(fresh.branch, QStringLiteral("main"));
    EXPECT_FALSE(fresh.upstream);
    EXPECT_EQ(fresh.aheadCount, 0);
    EXPECT_EQ(fresh.behindCount, 0);

    // Two clones of one remote: the second pushes one commit, the first makes two and
    // fetches, so it is 2 ahead and 1 behind.
    const auto remote = GitRepositoryBuilder::bare(home.filePath(QStringLiteral("remote.git")));
    GitRepositoryBuilder seed(home.filePath(QStringLiteral("seed")));
    seed.writeFile(QStringLiteral("a.txt"), "a\n");
    seed.commitAll(QStringLiteral("Start"));
    seed.git({QStringLiteral("remote"), QStringLiteral("add"), QStringLiteral("origin"),
              remote.path()});
    seed.git({QStringLiteral("push"), QStringLiteral("--quiet"), QStringLiteral("origin"),
              QStringLiteral("main")});
    auto mine = GitRepositoryBuilder::clone(remote.path(), home.filePath(QStringLiteral("mine")));
    auto theirs =
        GitRepositoryBuilder::clone(remote.path(), home.filePath(QStringLiteral("theirs")));
    theirs.writeFile(QStringLiteral("b.txt"), "b\n");
    theirs.commitAll(QStringLiteral("Theirs"));
    theirs.git({QStringLiteral("push"), QStringLiteral("--quiet")});
    mine.writeFile(QStringLiteral("c.txt"), "c\n");
    mine.commitAll(QStringLiteral("Mine 1"));
    mine.writeFile(QStringLiteral("c.txt"), "cc\n");
    mine.commitAll(QStringLiteral("Mine 2"));
    mine.git({QStringLiteral("fetch"), QStringLiteral("--quiet")});

    const ProjectGitStatus tracking = store.loadGitStatus(mine.path(), std::nullopt);
    EXPECT_TRUE(tracking.isRepository);
    EXPECT_EQ(tracking.branch, QStringLiteral("main"));
    EXPECT_EQ(tracking.upstream, QStringLiteral("origin/main"));
    EXPECT_EQ(tracking.aheadCount, 2);
    EXPECT_EQ(tracking.behindCount, 1);

    mine.git({QStringLiteral("checkout"), QStringLiteral("--quiet"), QStringLiteral("HEAD~1")});
    const ProjectGitStatus detached = store.loadGitStatus(mine.path(), std::nullopt);
    EXPECT_TRUE(detached.isRepository);
    EXPECT_EQ(detached.branch, QStringLiteral("Detached HEAD"));
    EXPECT_FALSE(detached.upstream);
}

TEST(ProjectRepositoryStore, hungGitIsKilledWithItsChildrenAndKeepsTheStoredStatus)
{
    fixtures::TemporaryHome home;
    GitRepositoryBuilder repository(home.filePath(QStringLiteral("project")));
    const QString pids = home.filePath(QStringLiteral("pids"));
    const ProjectRepositoryStore store(GitDouble::hanging(home.path(), pids));

    EXPECT_EQ(store.loadGitStatus(repository.path(), knownRepository()), knownRepository());

    QFile pidFile(pids);
    ASSERT_TRUE(pidFile.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = pidFile.readAll().split('\n');
    ASSERT_GE(lines.size(), 2);
    for (const QByteArray &line : lines.mid(0, 2)) {
        ASSERT_GT(line.toLongLong(), 0);
        EXPECT_TRUE(GitDouble::processEnds(line.toLongLong())) << "left running: " << line.data();
    }

    // With nothing stored, the inconclusive run reads as "not a repository".
    EXPECT_FALSE(store.loadGitStatus(repository.path(), std::nullopt).isRepository);
}

TEST(ProjectRepositoryStore, missingGitKeepsTheStoredStatus)
{
    fixtures::TemporaryHome home;
    GitRepositoryBuilder repository(home.filePath(QStringLiteral("project")));
    const ProjectRepositoryStore store(home.filePath(QStringLiteral("no-such-git")));
    EXPECT_EQ(store.loadGitStatus(repository.path(), knownRepository()), knownRepository());
    EXPECT_TRUE(store.loadRecentCommits(repository.path()).isEmpty());
}

TEST(ProjectRepositoryStore, originLookupsAreCachedIncludingTheAbsenceOfAnOrigin)
{
    fixtures::TemporaryHome home;
    const QString log = home.filePath(QStringLiteral("git.log"));
    ProjectRepositoryStore store(GitDouble::recording(home.path(), log));
    GitRepositoryBuilder withOrigin(home.filePath(QStringLiteral("with")));
    withOrigin.git({QStringLiteral("remote"), QStringLiteral("add"), QStringLiteral("origin"),
                    QStringLiteral("git@example.com:team/app.git")});
    GitRepositoryBuilder withoutOrigin(home.filePath(QStringLiteral("without")));

    LocalTeamProjectSource source;
    source.path = withOrigin.path();
    source.canDiscoverGitOrigin = false;
    EXPECT_FALSE(store.discoveredOrigin(source));
    EXPECT_TRUE(GitDouble::loggedRuns(log).isEmpty());

    source.canDiscoverGitOrigin = true;
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(store.discoveredOrigin(source), QStringLiteral("git@example.com:team/app.git"));
    source.path = withoutOrigin.path();
    for (int i = 0; i < 2; ++i)
        EXPECT_FALSE(store.discoveredOrigin(source));

    const QStringList runs = GitDouble::loggedRuns(log);
    ASSERT_EQ(runs.size(), 2);
    EXPECT_TRUE(runs.at(0).endsWith(QLatin1String("remote get-url origin")));
}

TEST(ProjectRepositoryStore, recentCommitsNewestFirstAtMostEight)
{
    fixtures::TemporaryHome home;
    const ProjectRepositoryStore store;
    GitRepositoryBuilder repository(home.filePath(QStringLiteral("project")));
    EXPECT_TRUE(store.loadRecentCommits(repository.path()).isEmpty()) << "no commit yet";
    QDir().mkpath(home.filePath(QStringLiteral("plain")));
    EXPECT_TRUE(store.loadRecentCommits(home.filePath(QStringLiteral("plain"))).isEmpty());

    QStringList hashes;
    for (int i = 1; i <= 9; ++i) {
        repository.writeFile(QStringLiteral("n.txt"), QByteArray::number(i));
        hashes.prepend(repository.commitAll(QStringLiteral("Change %1").arg(i)));
    }
    // An empty subject still makes a commit; a separator in the subject stays in it.
    hashes.prepend(repository.commitAll(QString(), QStringLiteral("Grace Hopper")));
    hashes.prepend(
        repository.commitAll(QStringLiteral("odd") + QChar(0x1F) + QStringLiteral("subject")));

    const QList<ProjectCommit> commits = store.loadRecentCommits(repository.path());
    ASSERT_EQ(commits.size(), 8);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(commits.at(i).hash, hashes.at(i)) << i;
    EXPECT_EQ(commits.at(0).subject,
              QStringLiteral("odd") + QChar(0x1F) + QStringLiteral("subject"));
    EXPECT_EQ(commits.at(1).subject, QString());
    EXPECT_EQ(commits.at(1).author, QStringLiteral("Grace Hopper"));
    EXPECT_EQ(commits.at(2).subject, QStringLiteral("Change 9"));
    EXPECT_EQ(commits.at(2).author, QStringLiteral("Ada"));
    EXPECT_EQ(commits.at(2).date, QStringLiteral("2026-01-05"));
    EXPECT_TRUE(commits.at(2).hash.startsWith(commits.at(2).shortHash));
    EXPECT_LT(commits.at(2).shortHash.size(), commits.at(2).hash.size());
}

TEST(ProjectRepositoryStore, markdownFilesSkipHiddenLinkedAndBuildFolders)
{
    fixtures::TemporaryHome home;
    const ProjectRepositoryStore store;
    GitRepositoryBuilder repository(home.filePath(QStringLiteral("project")));
    for (const char *file : {"README.MD", "notes.Md", "a.md", "c.md", "docs/B.md",
                             "Build/listed.md", "README.markdown", "node_modules/pkg/x.md",
                             "build/out.md", "venv/v.md", ".hidden/h.md", ".dot.md",
                             ".git/info.md"}) {
        repository.writeFile(QLatin1String(file), "# title\n");
    }
    const QString root = repository.path();
    ASSERT_EQ(::symlink("a.md", QFile::encodeName(root + QStringLiteral("/link.md")).constData()),
              0);
    // A link back up the tree would loop a walk that followed links.
    ASSERT_EQ(::symlink("..", QFile::encodeName(root + QStringLiteral("/docs/up")).constData()),
              0);

    QStringList relative;
    for (const ProjectMarkdownFile &file : store.loadMarkdownFiles(root + QLatin1Char('/'))) {
        relative.append(file.relativePath);
        EXPECT_EQ(file.path, root + QLatin1Char('/') + file.relativePath);
    }
    EXPECT_EQ(relative, (QStringList{QStringLiteral("a.md"), QStringLiteral("Build/listed.md"),
                                     QStringLiteral("c.md"), QStringLiteral("docs/B.md"),
                                     QStringLiteral("notes.Md"), QStringLiteral("README.MD")}));
}

TEST(ProjectRepositoryStore, markdownWalkStopsAtOneHundredFiles)
{
    fixtures::TemporaryHome home;
    const ProjectRepositoryStore store;
    for (int i = 0; i < 150; ++i)
        home.writeFile(QStringLiteral("notes/%1.md").arg(i, 3, 10, QLatin1Char('0')), "x");
    const QList<ProjectMarkdownFile> files = store.loadMarkdownFiles(home.path());
    ASSERT_EQ(files.size(), 100);
    EXPECT_EQ(files.first().relativePath, QStringLiteral("notes/000.md"));
    EXPECT_EQ(files.last().relativePath, QStringLiteral("notes/099.md"));
}
