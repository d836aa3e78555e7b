#include "data/git/ProjectMetadataCache.h"
#include "support/TemporaryHome.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tolvaran;

namespace {

// Waits for `condition` under a deadline far beyond any debounce; says whether it came true.
bool eventually(const std::function<bool()> &condition)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 30'000) {
        if (condition())
            return true;
        QThread::msleep(20);
    }
    return condition();
}

QJsonObject readJson(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

ProjectGitStatus status(const char *branch, double checkedAt)
{
    ProjectGitStatus value;
    value.isRepository = true;
    value.branch = QLatin1String(branch);
    value.behindCount = 4;
    value.checkedAt = Timestamp::fromSeconds(checkedAt);
    return value;
}

LocalTeamProjectState teamState()
{
    LocalTeamProjectState state;
    state.shared.repositoryId = QString(64, QLatin1Char('a'));
    state.shared.repositoryName = QStringLiteral("app");
    state.shared.changedFiles = {QStringLiteral("src/main.cpp")};
    state.workFingerprint = QString(64, QLatin1Char('f'));
    state.summaryEvidence = QStringLiteral("Current untracked file a.txt:\nhello\n");
    return state;
}

mode_t modeOf(const QString &path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return info.st_mode & 07777;
}

// Counts the times a file in `folder` named `name` is written whole: an atomic write makes
// the finished file appear under its name at once (created by a link, or renamed over the old
// one), never by writing into it.
class ReplacementCounter final
{
public:
    ReplacementCounter(const QString &folder, QString name)
        : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
        , m_name(std::move(name))
    {
        inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), IN_CREATE | IN_MOVED_TO);
    }
    ~ReplacementCounter() { ::close(m_fd); }

    int count()
    {
        alignas(inotify_event) char buffer[8192];
        for (;;) {
            const ssize_t size = ::read(m_fd, buffer, sizeof buffer);
            if (size <= 0)
                return m_count;
            for (ssize_t offset = 0; offset < size;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
                if (event->len > 0 && QFile::decodeName(event->name) == m_name)
                    ++m_count;
                offset += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
    }

private:
    int m_fd;
    QString m_name;
    int m_count = 0;
};

} // namespace

TEST(ProjectMetadataCache, startsEmptyAndFirstChangeWritesAPrivateFile)
{
    fixtures::TemporaryHome home;
    const QString folder = home.filePath(QStringLiteral("share/Tolvaran"));
    ProjectMetadataCache cache(folder);
    EXPECT_EQ(cache.currentSnapshot(), ProjectMetadataCacheSnapshot::empty());
    EXPECT_EQ(cache.currentSnapshot().hasCompletedInitialIndex, false);
    EXPECT_FALSE(QFileInfo::exists(folder)) << "creating the cache must not touch the disk";

    cache.setGitStatus(status("main", 1'767'607'200.5), QStringLiteral("/p"));
    ASSERT_TRUE(eventually([&] { return QFileInfo::exists(cache.filePath()); }));
    EXPECT_EQ(cache.filePath(), folder + QStringLiteral("/project-metadata-v1.json"));
    EXPECT_EQ(modeOf(folder), 0700);
    EXPECT_EQ(modeOf(cache.filePath()), 0600);

    const QJsonObject written = readJson(cache.filePath());
    EXPECT_EQ(written.value(QStringLiteral("hasCompletedInitialIndex")), QJsonValue(false));
    EXPECT_FALSE(written.contains(QStringLiteral("lastRepositoryEventID")));
    EXPECT_TRUE(written.value(QStringLiteral("teamStates")).toObject().isEmpty());
    const QJsonObject entry = written.value(QStringLiteral("gitStatuses"))
                                  .toObject()
                                  .value(QStringLiteral("/p"))
                                  .toObject();
    // Points in time are seconds since 2001-01-01.
    EXPECT_DOUBLE_EQ(entry.value(QStringLiteral("checkedAt")).toDouble(), 789'300'000.5);
    EXPECT_EQ(entry.value(QStringLiteral("branch")).toString(), QStringLiteral("main"));
    EXPECT_FALSE(entry.contains(QStringLiteral("upstream")));
}

TEST(ProjectMetadataCache, roundTripsThroughTheFile)
{
    fixtures::TemporaryHome home;
    ProjectMetadataCacheSnapshot expected;
    {
        ProjectMetadataCache cache(home.path());
        cache.setGitStatus(status("main", 1'767'607'200.25), QStringLiteral("/a"));
        cache.setGitStatus(status("dev", 1'767'607'300), QStringLiteral("/b"));
        cache.setGitStatus(std::nullopt, QStringLiteral("/b"));
        cache.setTeamStates({{QStringLiteral("/a"), teamState()}});
        cache.setLastRepositoryEventID(9'000'000'000'000ULL);
        cache.setLastRepositoryEventID(42); // smaller ids replace larger ones
        cache.markInitialIndexCompleted();
        expected = cache.currentSnapshot();
        ASSERT_TRUE(eventually([&] {
            return readJson(cache.filePath()).value(QStringLiteral("hasCompletedInitialIndex"))
                   == QJsonValue(true);
        }));
    }
    EXPECT_EQ(expected.lastRepositoryEventID, 42U);
    EXPECT_EQ(expected.gitStatuses.keys(), QStringList{QStringLiteral("/a")});
    const ProjectMetadataCache reloaded(home.path());
    EXPECT_EQ(reloaded.currentSnapshot(), expected);
    EXPECT_EQ(reloaded.teamStates().value(QStringLiteral("/a")), teamState());
}

TEST(ProjectMetadataCache, absentOptionalMembersStayAbsent)
{
    fixtures::TemporaryHome home;
    const QString path = home.writeFile(QStringLiteral("project-metadata-v1.json"),
                                        R"({"gitStatuses":{},"teamStates":{},"future":1})");
    ProjectMetadataCache cache(home.path());
    EXPECT_FALSE(cache.currentSnapshot().hasCompletedInitialIndex);
    EXPECT_FALSE(cache.currentSnapshot().lastRepositoryEventID);

    // Removing an entry that is not there changes nothing, yet still writes.
    QFile::remove(path);
    cache.setGitStatus(std::nullopt, QStringLiteral("/nothing"));
    ASSERT_TRUE(eventually([&] { return QFileInfo::exists(path); }));
    const QJsonObject written = readJson(path);
    EXPECT_FALSE(written.contains(QStringLiteral("hasCompletedInitialIndex")));
    EXPECT_FALSE(written.contains(QStringLiteral("lastRepositoryEventID")));
    EXPECT_TRUE(written.contains(QStringLiteral("gitStatuses")));
}

TEST(ProjectMetadataCache, badFilesLoadAsEmptyAndAreLeftAlone)
{
    const QByteArray goodStatus =
        R"({"isRepository":true,"aheadCount":0,"behindCount":0,"checkedAt":1.5})";
    const struct
    {
        const char *name;
        QByteArray contents;
    } rows[] = {
        {"not JSON", "{\"gitStatuses\":"},
        {"not an object", "[1,2]"},
        {"no team states", "{\"gitStatuses\":{}}"},
        {"mistyped member", "{\"gitStatuses\":{\"/p\":{\"isRepository\":true,\"aheadCount\":\"2\","
                            "\"behindCount\":0,\"checkedAt\":1}},\"teamStates\":{}}"},
        {"entry not an object", "{\"gitStatuses\":{\"/p\":true},\"teamStates\":{}}"},
        {"negative event id",
         "{\"gitStatuses\":{\"/p\":" + goodStatus + "},\"teamStates\":{},"
         "\"lastRepositoryEventID\":-1}"},
        {"bad team state", "{\"gitStatuses\":{},\"teamStates\":{\"/p\":{\"shared\":{}}}}"},
    };
    for (const auto &row : rows) {
        fixtures::TemporaryHome home;
        const QString path = home.writeFile(QStringLiteral("project-metadata-v1.json"),
                                            row.contents);
        {
            const ProjectMetadataCache cache(home.path());
            EXPECT_EQ(cache.currentSnapshot(), ProjectMetadataCacheSnapshot::empty()) << row.name;
        }
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), row.contents) << row.name;
    }

    fixtures::TemporaryHome home;
    home.writeFile(QStringLiteral("project-metadata-v1.json"),
                   "{\"gitStatuses\":{\"/p\":" + goodStatus + "},\"teamStates\":{}}");
    const ProjectMetadataCache cache(home.path());
    ASSERT_TRUE(cache.gitStatuses().contains(QStringLiteral("/p")));
    EXPECT_EQ(cache.gitStatuses().value(QStringLiteral("/p")).checkedAt.referenceSeconds(), 1.5);
}

TEST(ProjectMetadataCache, oddFilesLoadAsEmptyWithoutBlocking)
{
    fixtures::TemporaryHome home;
    const QByteArray path = QFile::encodeName(
        home.filePath(QString::fromLatin1(ProjectMetadataCache::fileName)));
    ASSERT_EQ(::mkfifo(path.constData(), 0600), 0);
    {
        const ProjectMetadataCache cache(home.path());
        EXPECT_EQ(cache.currentSnapshot(), ProjectMetadataCacheSnapshot::empty());
    }
    ASSERT_EQ(::unlink(path.constData()), 0);
    ASSERT_EQ(::symlink("/dev/zero", path.constData()), 0);
    const ProjectMetadataCache cache(home.path());
    EXPECT_EQ(cache.currentSnapshot(), ProjectMetadataCacheSnapshot::empty());
}

TEST(ProjectMetadataCache, aBurstOfChangesIsWrittenOnce)
{
    fixtures::TemporaryHome home;
    ReplacementCounter replacements(home.path(), QStringLiteral("project-metadata-v1.json"));
    ProjectMetadataCache cache(home.path());

    QElapsedTimer burst;
    burst.start();
    for (int i = 0; i < 10; ++i)
        cache.setGitStatus(status("main", 1'767'607'200 + i), QStringLiteral("/p%1").arg(i));
    // The burst must be quicker than the debounce for the claim to hold; a machine that
    // stalls this long says nothing about the cache.
    if (burst.elapsed() >= ProjectMetadataCache::writeDelay.count() / 2)
        GTEST_SKIP() << "the burst took too long to count as one";

    ASSERT_TRUE(eventually([&] { return replacements.count() > 0; }));
    EXPECT_EQ(readJson(cache.filePath()).value(QStringLiteral("gitStatuses")).toObject().size(),
              10);

    // A later change makes a second write of its own.
    cache.markInitialIndexCompleted();
    ASSERT_TRUE(eventually([&] { return replacements.count() > 1; }));
    EXPECT_EQ(replacements.count(), 2);
}
