#include "CodexGlobalStateWriter.h"
#include "data/codex/CodexGlobalStateStore.h"
#include "work/FileDescriptor.h"
#include "support/codex/FakeCodexHome.h"
#include "support/QtPrinters.h"
#include "support/TemporaryHome.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QThread>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace tolvaran;
using fixtures::CodexGlobalStateWriter;
using fixtures::FakeCodexHome;

namespace {

const QString pinnedByTheProgram = QStringLiteral("/w/pinned-by-the-program");
const QString codexOnlyKey = QStringLiteral("codex-only");
constexpr mode_t codexFileMode = 0640;

struct stat statusOf(const QString &path)
{
    struct stat status{};
    ::stat(QFile::encodeName(path).constData(), &status);
    return status;
}

// Whether a process holds a flock on the file: a writer that is still writing it.
bool isLocked(const QString &path)
{
    const FileDescriptor file(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    return file.isValid() && ::flock(file.get(), LOCK_EX | LOCK_NB) != 0
           && errno == EWOULDBLOCK;
}

// A Codex folder whose global-state file, with a member of Codex's own and a mode of its own,
// a second process changes through the store.
class WrittenCodexHome
{
public:
    WrittenCodexHome()
    {
        QJsonObject state = FakeCodexHome::globalStateObject({}, {QStringLiteral("t1")}, {});
        state.insert(codexOnlyKey, QJsonObject{{QStringLiteral("k"), 1}});
        codex.writeGlobalState(state);
        ::chmod(QFile::encodeName(codex.globalStatePath()).constData(), codexFileMode);
    }

    std::unique_ptr<fixtures::RestartedTestProgram> startWriter() const
    {
        return CodexGlobalStateWriter::start(codex.globalStatePath());
    }

    // What the program does when it next changes the file.
    void pinAFolder() const
    {
        CodexGlobalStateStore(codex.globalStatePath()).setPinnedProjectPath(pinnedByTheProgram,
                                                                           true);
    }

    // Everything in Codex's folder but its global-state file.
    QStringList leftovers() const
    {
        QStringList entries = QDir(codex.path()).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        entries.removeAll(QStringLiteral(".codex-global-state.json"));
        return entries;
    }

    // Whether the file holds Codex's own members and mode, as a kill must leave them.
    void expectCodexsFileWhole() const
    {
        const QJsonObject state = codex.globalState();
        EXPECT_EQ(state.value(codexOnlyKey), QJsonObject({{QStringLiteral("k"), 1}}));
        EXPECT_EQ(statusOf(codex.globalStatePath()).st_mode & 07777, codexFileMode);
    }

    // Stops the writer at moments until it is stopped with a temporary file on disk that it
    // holds. Returns that file's name.
    QString stopInAWrite(fixtures::RestartedTestProgram &writer) const
    {
        QString held;
        writer.stopWhen([&] {
            for (const QString &name : leftovers()) {
                if (isLocked(codex.path() + QLatin1Char('/') + name))
                    held = name;
            }
            return !held.isEmpty();
        });
        return held;
    }

    fixtures::TemporaryHome home;
    FakeCodexHome codex{home.filePath(QStringLiteral(".codex"))};
};

} // namespace

// 40 writers of Codex's global state, each killed at a random moment while it changes the
// file: the file stays whole, and whatever temporary file a kill leaves in Codex's folder is
// gone once the program has changed the file again.
TEST(CodexGlobalStateKill, noTemporaryFileOfAKilledWriterOutlivesTheNextChange)
{
    constexpr int trials = 40;
    constexpr int atOnce = 10;
    // Spread over many changes, so that the kills land at every step of one.
    constexpr quint32 killSpreadMicroseconds = 20'000;
    QRandomGenerator random(trials);

    int killsThatLeftAFile = 0;
    for (int first = 0; first < trials; first += atOnce) {
        std::vector<std::unique_ptr<WrittenCodexHome>> homes;
        std::vector<std::unique_ptr<fixtures::RestartedTestProgram>> writers;
        for (int i = 0; i < atOnce; ++i) {
            homes.push_back(std::make_unique<WrittenCodexHome>());
            writers.push_back(homes.back()->startWriter());
        }
        for (auto &writer : writers) {
            // Chooses the moment of the kill; nothing waits for an outcome here.
            QThread::usleep(random.bounded(killSpreadMicroseconds));
            ASSERT_TRUE(writer->kill()) << "a write failed";
        }
        for (size_t i = 0; i < homes.size(); ++i) {
            SCOPED_TRACE("trial " + std::to_string(first + int(i)));
            const WrittenCodexHome &home = *homes[i];
            home.expectCodexsFileWhole();
            killsThatLeftAFile += home.leftovers().isEmpty() ? 0 : 1;
            home.pinAFolder();
            EXPECT_EQ(home.leftovers(), QStringList());
            home.expectCodexsFileWhole();
            EXPECT_TRUE(home.codex.globalState()
                            .value(QStringLiteral("pinned-project-ids"))
                            .toArray()
                            .contains(pinnedByTheProgram));
        }
    }
    EXPECT_GT(killsThatLeftAFile, 0) << "no kill landed in a write, so the trial shows nothing";
}

// A writer stopped in the middle of a change, holding its temporary file: a change by the
// program beside it leaves that file alone, and the writer's change goes through after.
TEST(CodexGlobalStateKill, aLiveWritersTemporaryFileStays)
{
    WrittenCodexHome home;
    auto writer = home.startWriter();
    const QString temporary = home.stopInAWrite(*writer);
    ASSERT_FALSE(temporary.isEmpty());

    home.pinAFolder();
    EXPECT_TRUE(home.leftovers().contains(temporary));

    // Held open, the file the program wrote keeps its inode number from being given to
    // another.
    QFile ours(home.codex.globalStatePath());
    ASSERT_TRUE(ours.open(QIODevice::ReadOnly));
    const ino_t ourInode = statusOf(home.codex.globalStatePath()).st_ino;
    writer->resume();
    EXPECT_TRUE(fixtures::waitUntil([&] {
        return statusOf(home.codex.globalStatePath()).st_ino != ourInode || !writer->isRunning();
    }));
    EXPECT_TRUE(writer->kill()) << "its write failed";
    home.expectCodexsFileWhole();
}
