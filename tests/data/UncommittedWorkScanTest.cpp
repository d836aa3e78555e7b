#include "data/git/ProjectRepositoryStore.h"
#include "data/git/SecretPathRules.h"
#include "data/git/UncommittedWorkScan.h"
#include "data/git/PorcelainStatus.h"
#include "support/GitDouble.h"
#include "support/GitRepositoryBuilder.h"
#include "support/ScopedEnvironment.h"
#include "support/TemporaryHome.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace tolvaran;
using fixtures::GitDouble;
using fixtures::GitRepositoryBuilder;
using Internal::PorcelainStatus;

namespace {

const QString origin = QStringLiteral("git@example.com:Team/App.git");
const QString secret = QStringLiteral("TOPSECRET");

LocalTeamProjectSource sourceFor(const QString &path)
{
    LocalTeamProjectSource source;
    source.path = path;
    source.gitOriginURL = origin;
    source.isCodexProcessing = true;
    source.latestUserRequest = QStringLiteral("Fix the login");
    return source;
}

QString nul(const QStringList &entries)
{
    return entries.join(QChar(0)) + QChar(0);
}

void setModificationTime(const QString &path, qint64 milliseconds)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::fromMSecsSinceEpoch(milliseconds, Qt::UTC),
                                 QFileDevice::FileModificationTime));
}

void makeLink(const QString &target, const QString &link)
{
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(),
                        QFile::encodeName(link).constData()),
              0);
}

} // namespace

TEST(PorcelainStatus, parsesEntriesAndConsumesTheOriginalPathOfARename)
{
    const QString ordinary = QStringLiteral("1 .M N... 100644 100644 100644 aaa bbb src/a b.txt");
    const QString renamed = QStringLiteral("2 R. N... 100644 100644 100644 aaa aaa R100 new.txt");
    const QString unmerged =
        QStringLiteral("u UU N... 100644 100644 100644 100644 h1 h2 h3 conflict.txt");
    const PorcelainStatus status = PorcelainStatus::parse(nul({
        QStringLiteral("# branch.oid 0123abcd"),
        QStringLiteral("# branch.head feature/x"),
        QStringLiteral("# branch.upstream origin/feature/x"),
        QStringLiteral("# branch.ab +1 -0"),
        ordinary,
        renamed,
        // The original path of the rename, named like an entry: never counted.
        QStringLiteral("? looks-untracked.txt"),
        unmerged,
        QStringLiteral("1 .M too few fields"),
        QStringLiteral("1 MMM N... 100644 100644 100644 aaa bbb wide-status.txt"),
        QStringLiteral("? notes/todo.md"),
        QStringLiteral("? .env"),
        QStringLiteral("1 M. N... 100644 100644 100644 aaa bbb config/.env.local"),
    }));
    EXPECT_EQ(status.headSHA, QStringLiteral("0123abcd"));
    EXPECT_EQ(status.branch, QStringLiteral("feature/x"));
    EXPECT_EQ(status.stagedCount, 3);   // rename, unmerged, config/.env.local
    EXPECT_EQ(status.modifiedCount, 2); // ordinary, unmerged
    EXPECT_EQ(status.untrackedCount, 2);
    EXPECT_EQ(status.changedFiles,
              (QStringList{QStringLiteral("conflict.txt"), QStringLiteral("new.txt"),
                           QStringLiteral("notes/todo.md"), QStringLiteral("src/a b.txt")}));
    EXPECT_EQ(status.untrackedFiles, QStringList{QStringLiteral("notes/todo.md")});
    EXPECT_EQ(status.fingerprintInput,
              QStringList({ordinary, renamed, unmerged, QStringLiteral("? notes/todo.md"),
                           QStringLiteral("? .env"),
                           QStringLiteral("1 M. N... 100644 100644 100644 aaa bbb "
                                          "config/.env.local")})
                  .join(QChar(0x1E)));

    const PorcelainStatus unborn = PorcelainStatus::parse(
        nul({QStringLiteral("# branch.oid (initial)"),
             QStringLiteral("# branch.head (detached)")}));
    EXPECT_FALSE(unborn.headSHA);
    EXPECT_FALSE(unborn.branch);
    EXPECT_EQ(PorcelainStatus::parse(QString()).fingerprintInput, QString());
}

TEST(PorcelainStatus, listsTheFirstHundredChangedPathsButCountsAll)
{
    QStringList entries;
    for (int i = 149; i >= 0; --i)
        entries.append(QStringLiteral("? f%1.txt").arg(i, 3, 10, QLatin1Char('0')));
    const PorcelainStatus status = PorcelainStatus::parse(nul(entries));
    EXPECT_EQ(status.untrackedCount, 150);
    ASSERT_EQ(status.changedFiles.size(), 100);
    EXPECT_EQ(status.changedFiles.first(), QStringLiteral("f050.txt")); // git's first 100
    EXPECT_EQ(status.changedFiles.last(), QStringLiteral("f149.txt"));
}

TEST(UncommittedWorkScan, noOriginMeansNoStateAndNoGit)
{
    fixtures::TemporaryHome home;
    const QString log = home.filePath(QStringLiteral("git.log"));
    ProjectRepositoryStore store(GitDouble::recording(home.path(), log));
    GitRepositoryBuilder repository(home.filePath(QStringLiteral("project")));
    LocalTeamProjectSource source = sourceFor(repository.path());
    source.gitOriginURL.reset();
    EXPECT_FALSE(store.loadTeamProjectState(source, std::nullopt));
    EXPECT_TRUE(GitDouble::loggedRuns(log).isEmpty());

    source.gitOriginURL = QStringLiteral("/local/path/only");
    EXPECT_FALSE(store.loadTeamProjectState(source, std::nullopt));
    source.gitOriginURL = origin;
    source.path = home.filePath(QStringLiteral("not-a-repository"));
    QDir().mkpath(source.path);
    EXPECT_FALSE(store.loadTeamProjectState(source, std::nullopt));
}

TEST(UncommittedWorkScan, cleanRepositoryCostsOneGitRun)
{
    fixtures::TemporaryHome home;
    const QString log = home.filePath(QStringLiteral("git.log"));
    ProjectRepositoryStore store(GitDouble::recording(home.path(), log));
    GitRepositoryBuilder repository(home.filePath(QStringLiteral("project")));
    repository.writeFile(QStringLiteral("a.txt"), "a\n");
    const QString head = repository.commitAll(QStringLiteral("Start"));
    QFile::remove(log);

    const auto state = store.loadTeamProjectState(sourceFor(repository.path()), std::nullopt);
    ASSERT_TRUE(state);
    EXPECT_EQ(GitDouble::loggedRuns(log).size(), 1);
    const auto identity =
        ProjectRepositoryStore::repositoryIdentity(QStringLiteral("example.com/team/app"));
    EXPECT_EQ(state->shared.repositoryId, identity->id);
    EXPECT_EQ(state->shared.repositoryName, QStringLiteral("app"));
    EXPECT_EQ(state->shared.branch, QStringLiteral("main"));
    EXPECT_EQ(state->shared.headSha, head);
    EXPECT_FALSE(state->shared.isDirty);
    EXPECT_EQ(state->shared.stagedCount + state->shared.modifiedCount
                  + state->shared.untrackedCount + state->shared.additions
                  + state->shared.deletions,
              0);
    EXPECT_TRUE(state->shared.changedFiles.isEmpty());
    EXPECT_FALSE(state->shared.lastActivityAt);
    EXPECT_TRUE(state->shared.isCodexProcessing);
    EXPECT_FALSE(state->shared.workSummary);
    EXPECT_FALSE(state->shared.usage);
    EXPECT_TRUE(state->summaryEvidence.isEmpty());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{64}$"))
                    .match(state->workFingerprint)
                    .hasMatch());
    EXPECT_EQ(state->latestUserRequest, QStringLiteral("Fix the login"));
    EXPECT_FALSE(state->headSubject);
    EXPECT_FALSE(state->isLocalCommit);
}

TEST(UncommittedWorkScan, secretFilesAreCountedButNeverListedOrRead)
{
    fixtures::TemporaryHome home;
    ProjectRepositoryStore store;
    GitRepositoryBuilder repository(home.filePath(QStringLiteral("project")));
    const QStringList secretFiles{QStringLiteral(".env"), QStringLiteral("config/.env.local"),
                                  QStringLiteral("tls/server.PEM"),
                                  QStringLiteral("aws_credentials.json")};
    for (const QString &file : secretFiles)
        repository.writeFile(file, "KEY=old\n");
    repository.writeFile(QStringLiteral("app.txt"), "one\n");
    repository.commitAll(QStringLiteral("Start"));
    for (const QString &file : secretFiles)
        repository.writeFile(file, (QStringLiteral("KEY=") + secret + QLatin1Char('\n')).toUtf8());
    repository.writeFile(QStringLiteral("app.txt"), "two\n");
    repository.writeFile(QStringLiteral("note.txt"), "plain note\n");
    repository.writeFile(QStringLiteral("id_rsa"), secret.toUtf8());
    repository.writeFile(QStringLiteral(".env.production"), secret.toUtf8());
    const QString outside = home.writeFile(QStringLiteral("ssh/key"), secret.toUtf8());
    makeLink(outside, repository.path() + QStringLiteral("/leak.txt"));

    const auto state = store.loadTeamProjectState(sourceFor(repository.path()), std::nullopt);
    ASSERT_TRUE(state);
    EXPECT_TRUE(state->shared.isDirty);
    EXPECT_EQ(state->shared.modifiedCount, 5);
    EXPECT_EQ(state->shared.untrackedCount, 4);
    EXPECT_EQ(state->shared.additions, 5);
    EXPECT_EQ(state->shared.deletions, 5);
    EXPECT_EQ(state->shared.changedFiles,
              (QStringList{QStringLiteral("app.txt"), QStringLiteral("leak.txt"),
                           QStringLiteral("note.txt")}));
    EXPECT_TRUE(
        state->summaryEvidence.contains(QLatin1String("Current tracked and staged diff:\n")));
    EXPECT_TRUE(state->summaryEvidence.contains(QLatin1String("+two")));
    EXPECT_TRUE(state->summaryEvidence.contains(
        QLatin1String("Current untracked file note.txt:\nplain note\n")));
    EXPECT_FALSE(state->summaryEvidence.contains(secret)) << state->summaryEvidence.toStdString();
    EXPECT_FALSE(state->summaryEvidence.contains(QLatin1String("KEY=")));
}

TEST(UncommittedWorkScan, untrackedSamplesAreOnlyRegularFilesInsideTheProject)
{
    fixtures::TemporaryHome home;
    const QString project = home.filePath(QStringLiteral("project"));
    const QString outside = home.filePath(QStringLiteral("ssh"));
    home.writeFile(QStringLiteral("ssh/id"), secret.toUtf8());
    home.writeFile(QStringLiteral("project/ok.txt"), "fine\n");
    home.writeFile(QStringLiteral("project/binary.dat"), QByteArray("a\0b", 3));
    home.writeFile(QStringLiteral("project/blank.txt"), " \n\t\n");
    makeLink(outside, project + QStringLiteral("/sshdir"));
    makeLink(outside + QStringLiteral("/id"), project + QStringLiteral("/link.txt"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(project + QStringLiteral("/pipe.txt")).constData(), 0600),
              0);

    const Internal::GitRunner git;
    const Internal::UncommittedWorkScan scan(git, project);
    // A FIFO opened for reading would block until a writer comes: it must be passed over.
    EXPECT_EQ(scan.loadSummaryEvidence({QStringLiteral("pipe.txt"), QStringLiteral("sshdir/id"),
                                        QStringLiteral("link.txt"), QStringLiteral("ok.txt")}),
              QStringLiteral("Current untracked file ok.txt:\nfine\n"));
    // Only the first four are tried, refused ones included.
    EXPECT_EQ(scan.loadSummaryEvidence({QStringLiteral("binary.dat"), QStringLiteral("blank.txt"),
                                        QStringLiteral("../ssh/id"), QStringLiteral("missing"),
                                        QStringLiteral("ok.txt")}),
              QString());

    // A sample is cut at 4 KiB, and a character cut there spoils it.
    home.writeFile(QStringLiteral("project/long.txt"), QByteArray(5000, 'x'));
    home.writeFile(QStringLiteral("project/cut.txt"), QByteArray(4095, 'x') + "\xc3\xa9");
    EXPECT_EQ(scan.loadSummaryEvidence({QStringLiteral("long.txt"), QStringLiteral("cut.txt")}),
              QStringLiteral("Current untracked file long.txt:\n")
                  + QString(4096, QLatin1Char('x')));
}

TEST(UncommittedWorkScan, fingerprintFollowsTheWorkAndDeletedFilesHaveNoDate)
{
    fixtures::TemporaryHome home;
    ProjectRepositoryStore store;
    GitRepositoryBuilder repository(home.filePath(QStringLiteral("project")));
    repository.writeFile(QStringLiteral("a.txt"), "a\n");
    repository.writeFile(QStringLiteral("gone.txt"), "g\n");
    repository.commitAll(QStringLiteral("Start"));
    const LocalTeamProjectSource source = sourceFor(repository.path());

    const QString edited = repository.writeFile(QStringLiteral("a.txt"), "b\n");
    setModificationTime(edited, 1'767'700'000'123);
    const auto first = store.loadTeamProjectState(source, std::nullopt);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->shared.lastActivityAt, 1'767'700'000'123);
    EXPECT_EQ(store.loadTeamProjectState(source, std::nullopt)->workFingerprint,
              first->workFingerprint);

    // Same line counts, same size: only the modification time tells the edit apart.
    repository.writeFile(QStringLiteral("a.txt"), "c\n");
    setModificationTime(edited, 1'767'700'060'000);
    const auto second = store.loadTeamProjectState(source, std::nullopt);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->shared.additions, first->shared.additions);
    EXPECT_NE(second->workFingerprint, first->workFingerprint);

    repository.git({QStringLiteral("checkout"), QStringLiteral("--"), QStringLiteral("a.txt")});
    QFile::remove(repository.path() + QStringLiteral("/gone.txt"));
    const auto deleted = store.loadTeamProjectState(source, std::nullopt);
    ASSERT_TRUE(deleted);
    EXPECT_EQ(deleted->shared.changedFiles, QStringList{QStringLiteral("gone.txt")});
    EXPECT_EQ(deleted->shared.deletions, 1);
    EXPECT_FALSE(deleted->shared.lastActivityAt);
}

TEST(UncommittedWorkScan, renameCountsOnceAndBinaryChangesCountNoLines)
{
    fixtures::TemporaryHome home;
    ProjectRepositoryStore store;
    GitRepositoryBuilder repository(home.filePath(QStringLiteral("project")));
    repository.writeFile(QStringLiteral("old name.txt"), "same text\n");
    repository.writeFile(QStringLiteral("image.bin"), QByteArray("\x89PNG\0\0\x01", 7));
    repository.commitAll(QStringLiteral("Start"));

    repository.git({QStringLiteral("mv"), QStringLiteral("old name.txt"),
                    QStringLiteral("new name.txt")});
    const auto renamed = store.loadTeamProjectState(sourceFor(repository.path()), std::nullopt);
    ASSERT_TRUE(renamed);
    EXPECT_EQ(renamed->shared.stagedCount, 1);
    EXPECT_EQ(renamed->shared.modifiedCount, 0);
    EXPECT_EQ(renamed->shared.changedFiles, QStringList{QStringLiteral("new name.txt")});
    repository.commitAll(QStringLiteral("Rename"));

    repository.writeFile(QStringLiteral("image.bin"), QByteArray("\x89PNG\0\0\x02\x03", 8));
    const auto binary = store.loadTeamProjectState(sourceFor(repository.path()), std::nullopt);
    ASSERT_TRUE(binary);
    EXPECT_TRUE(binary->shared.isDirty);
    EXPECT_EQ(binary->shared.modifiedCount, 1);
    EXPECT_EQ(binary->shared.additions, 0);
    EXPECT_EQ(binary->shared.deletions, 0);
}

TEST(UncommittedWorkScan, largeDiffIsReadOnlyUpToItsLimit)
{
    fixtures::TemporaryHome home;
    ProjectRepositoryStore store;
    GitRepositoryBuilder repository(home.filePath(QStringLiteral("project")));
    repository.writeFile(QStringLiteral("big.txt"), "start\n");
    repository.commitAll(QStringLiteral("Start"));
    QByteArray big;
    for (int i = 0; i < 20'000; ++i)
        big += "line " + QByteArray::number(i) + '\n';
    repository.writeFile(QStringLiteral("big.txt"), big);

    const auto state = store.loadTeamProjectState(sourceFor(repository.path()), std::nullopt);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->shared.additions, 20'000);
    const QString prefix = QStringLiteral("Current tracked and staged diff:\n");
    ASSERT_TRUE(state->summaryEvidence.startsWith(prefix));
    EXPECT_LE(state->summaryEvidence.size() - prefix.size(), 32'768);
    EXPECT_GT(state->summaryEvidence.size() - prefix.size(), 32'000);
}

TEST(UncommittedWorkScan, headCommitIsReportedOnlyWhenHeadMoved)
{
    fixtures::TemporaryHome home;
    ProjectRepositoryStore store;
    const auto remote = GitRepositoryBuilder::bare(home.filePath(QStringLiteral("remote.git")));
    GitRepositoryBuilder seed(home.filePath(QStringLiteral("seed")));
    seed.writeFile(QStringLiteral("a.txt"), "a\n");
    seed.commitAll(QStringLiteral("Start"));
    seed.git({QStringLiteral("push"), QStringLiteral("--quiet"), remote.path(),
              QStringLiteral("main")});
    auto mine = GitRepositoryBuilder::clone(remote.path(), home.filePath(QStringLiteral("mine")));
    const LocalTeamProjectSource source = sourceFor(mine.path());

    const auto first = store.loadTeamProjectState(source, std::nullopt);
    ASSERT_TRUE(first);
    const auto unchanged = store.loadTeamProjectState(source, first);
    ASSERT_TRUE(unchanged);
    EXPECT_FALSE(unchanged->headSubject);
    EXPECT_FALSE(unchanged->committedAt);
    EXPECT_FALSE(unchanged->isLocalCommit);

    mine.writeFile(QStringLiteral("b.txt"), "b\n");
    mine.commitAll(QStringLiteral("Local work"));
    const auto committed = store.loadTeamProjectState(source, unchanged);
    ASSERT_TRUE(committed);
    EXPECT_EQ(committed->headSubject, QStringLiteral("Local work"));
    EXPECT_EQ(committed->committedAt, GitRepositoryBuilder::firstCommitSeconds * 1000);
    EXPECT_TRUE(committed->isLocalCommit);
    mine.git({QStringLiteral("push"), QStringLiteral("--quiet")});

    auto theirs =
        GitRepositoryBuilder::clone(remote.path(), home.filePath(QStringLiteral("theirs")));
    theirs.writeFile(QStringLiteral("c.txt"), "c\n");
    theirs.commitAll(QString(350, QLatin1Char('s')));
    theirs.git({QStringLiteral("push"), QStringLiteral("--quiet")});
    mine.git({QStringLiteral("pull"), QStringLiteral("--quiet"), QStringLiteral("--ff-only")});
    const auto pulled = store.loadTeamProjectState(source, committed);
    ASSERT_TRUE(pulled);
    EXPECT_EQ(pulled->headSubject, QString(300, QLatin1Char('s')));
    EXPECT_FALSE(pulled->isLocalCommit);
}

namespace {

// Paths that hold keys, tokens or passwords in real projects.
const QStringList secretPaths{
    QStringLiteral(".env"),                  QStringLiteral("config/.env.local"),
    QStringLiteral(".env-local"),            QStringLiteral(".envrc"),
    QStringLiteral("deploy/prod.env"),       QStringLiteral("tls/server.PEM"),
    QStringLiteral("keys/server.key"),       QStringLiteral("id_rsa"),
    QStringLiteral("id_ecdsa"),              QStringLiteral("deploy/id_dsa"),
    QStringLiteral("id_ed25519.pub"),        QStringLiteral("home/.ssh/config"),
    QStringLiteral(".ssh/known_hosts"),      QStringLiteral(".npmrc"),
    QStringLiteral("tools/.pypirc"),         QStringLiteral(".netrc"),
    QStringLiteral(".pgpass"),               QStringLiteral(".docker/config.json"),
    QStringLiteral(".kube/config"),          QStringLiteral("infra/terraform.tfvars"),
    QStringLiteral("web/.htpasswd"),         QStringLiteral("gcp/service-account.json"),
    QStringLiteral("putty/server.ppk"),      QStringLiteral("android/release.jks"),
    QStringLiteral("gnupg/secring.gpg"),     QStringLiteral("secrets/db.txt"),
    QStringLiteral("app/credentials/token.txt"), QStringLiteral("aws_credentials.json"),
    QStringLiteral("Secrets.yaml"),
};

} // namespace

TEST(UncommittedWorkScan, secretRulesMatchAnyComponentAndNothingElse)
{
    for (const QString &path : secretPaths) {
        EXPECT_FALSE(ProjectRepositoryStore::canShare(path)) << path.toStdString();
        EXPECT_TRUE(Internal::SecretPathRules::matches(path)) << path.toStdString();
    }
    for (const char *path : {"README.md", "src/environment.ts", "docs/keynote.md", "monkey.py",
                             "src/secretary.txt", "keys.md", "sshd.go", "envy/app.js"}) {
        EXPECT_TRUE(ProjectRepositoryStore::canShare(QString::fromLatin1(path))) << path;
    }
    for (const char *path : {"/etc/passwd", "../outside.txt", "a/../../b"})
        EXPECT_FALSE(ProjectRepositoryStore::canShare(QString::fromLatin1(path))) << path;
}

TEST(UncommittedWorkScan, noSecretIsReadTrackedOrUntrackedNorThroughAHardLink)
{
    fixtures::TemporaryHome home;
    ProjectRepositoryStore store;
    GitRepositoryBuilder repository(home.filePath(QStringLiteral("project")));
    const QString keptElsewhere = home.writeFile(QStringLiteral("keys/deploy"), secret.toUtf8());
    for (const QString &path : secretPaths)
        repository.writeFile(path, "old\n");
    repository.writeFile(QStringLiteral("app.txt"), "one\n");
    repository.writeFile(QStringLiteral("tracked-link.txt"), "plain\n");
    repository.commitAll(QStringLiteral("Start"));

    // Every tracked secret changes, and each has an untracked sibling of the same kind.
    for (const QString &path : secretPaths) {
        repository.writeFile(path, (secret + QLatin1Char('\n')).toUtf8());
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        const QString untracked = path.left(slash + 1) + QStringLiteral("new-")
            + path.mid(slash + 1);
        if (Internal::SecretPathRules::matches(untracked))
            repository.writeFile(untracked, secret.toUtf8());
    }
    repository.writeFile(QStringLiteral("app.txt"), "two\n");
    // Hard links to a key kept outside, under harmless names, tracked and untracked.
    const QByteArray key = QFile::encodeName(keptElsewhere);
    QFile::remove(repository.path() + QStringLiteral("/tracked-link.txt"));
    ASSERT_EQ(::link(key.constData(),
                     QFile::encodeName(repository.path() + QStringLiteral("/tracked-link.txt"))
                         .constData()),
              0);
    ASSERT_EQ(::link(key.constData(),
                     QFile::encodeName(repository.path() + QStringLiteral("/notes.txt"))
                         .constData()),
              0);

    const auto state = store.loadTeamProjectState(sourceFor(repository.path()), std::nullopt);
    ASSERT_TRUE(state);
    EXPECT_TRUE(state->summaryEvidence.contains(QLatin1String("+two")));
    EXPECT_FALSE(state->summaryEvidence.contains(secret)) << state->summaryEvidence.toStdString();
    for (const QString &file : state->shared.changedFiles)
        EXPECT_TRUE(ProjectRepositoryStore::canShare(file)) << file.toStdString();
    EXPECT_TRUE(state->summaryEvidence.contains(
        QLatin1String("tracked-link.txt (has more than one link)")));
}

TEST(UncommittedWorkScan, oddTrackedFilesAreNamedAndTheRestOfTheDiffKept)
{
    fixtures::TemporaryHome home;
    ProjectRepositoryStore store;
    GitRepositoryBuilder repository(home.filePath(QStringLiteral("project")));
    repository.writeFile(QStringLiteral("app.txt"), "one\n");
    repository.writeFile(QStringLiteral("pipe"), "was a file\n");
    repository.writeFile(QStringLiteral("huge.bin"), "small at first\n");
    repository.commitAll(QStringLiteral("Start"));
    repository.writeFile(QStringLiteral("app.txt"), "two\n");
    const QString pipe = repository.path() + QStringLiteral("/pipe");
    ASSERT_TRUE(QFile::remove(pipe));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QFile huge(repository.path() + QStringLiteral("/huge.bin"));
    ASSERT_TRUE(huge.resize(Internal::UncommittedWorkScan::maximumTrackedFileBytes + 1));

    const auto state = store.loadTeamProjectState(sourceFor(repository.path()), std::nullopt);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->shared.additions, 1);
    EXPECT_EQ(state->shared.deletions, 1);
    EXPECT_TRUE(state->summaryEvidence.contains(QLatin1String("+two")));
    EXPECT_TRUE(state->summaryEvidence.contains(
        QStringLiteral("Tracked files left out of the diff:\nhuge.bin (larger than %1 bytes)\n"
                       "pipe (not a regular file)")
            .arg(Internal::UncommittedWorkScan::maximumTrackedFileBytes)))
        << state->summaryEvidence.toStdString();
}

TEST(UncommittedWorkScan, aRepositorysConfigurationStartsNoProgram)
{
    fixtures::TemporaryHome home;
    ProjectRepositoryStore store;
    GitRepositoryBuilder repository(home.filePath(QStringLiteral("project")));
    const QString marker = home.filePath(QStringLiteral("ran"));
    const QString program = home.writeFile(
        QStringLiteral("bin/evil"),
        (QStringLiteral("#!/bin/sh\necho \"$0 $*\" >> ") + marker + QStringLiteral("\ncat\n"))
            .toUtf8());
    ASSERT_EQ(::chmod(QFile::encodeName(program).constData(), 0755), 0);
    repository.writeFile(QStringLiteral(".gitattributes"), "*.txt diff=evil\n");
    repository.writeFile(QStringLiteral("app.txt"), "one\n");
    repository.commitAll(QStringLiteral("Start"));
    repository.git({QStringLiteral("config"), QStringLiteral("core.fsmonitor"), program});
    repository.git({QStringLiteral("config"), QStringLiteral("diff.evil.textconv"), program});
    repository.git({QStringLiteral("config"), QStringLiteral("diff.evil.command"), program});
    repository.git({QStringLiteral("config"), QStringLiteral("diff.external"), program});
    repository.writeFile(QStringLiteral("app.txt"), "two\n");
    fixtures::ScopedEnvironment environment;
    environment.set("GIT_EXTERNAL_DIFF", QFile::encodeName(program));
    environment.set("GIT_PAGER", QFile::encodeName(program));

    EXPECT_TRUE(store.loadGitStatus(repository.path(), std::nullopt).isRepository);
    const auto state = store.loadTeamProjectState(sourceFor(repository.path()), std::nullopt);
    ASSERT_TRUE(state);
    EXPECT_TRUE(state->summaryEvidence.contains(QLatin1String("+two")));
    EXPECT_EQ(state->shared.additions, 1);
    EXPECT_FALSE(QFile::exists(marker)) << "a program configured by the repository ran";
}
