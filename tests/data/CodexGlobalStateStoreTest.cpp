#include "data/codex/CodexGlobalStateStore.h"
#include "platform/Paths.h"
#include "platform/Timestamp.h"
#include "support/codex/FakeCodexHome.h"
#include "support/QtPrinters.h"
#include "support/TemporaryHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

using Kind = CodexGlobalStateStoreError::Kind;
using Moment = CodexGlobalStateWriteMoment;

class CodexGlobalStateStoreTest : public ::testing::Test
{
protected:
    CodexGlobalStateStoreTest()
        : codex(home.filePath(QStringLiteral(".codex")))
        , store(codex.globalStatePath(), [this](Moment moment) {
            if (moment == Moment::beforeFinalCompare) {
                ++writeAttempts;
                if (duringWrite)
                    duringWrite();
            }
            if (atEveryMoment)
                atEveryMoment(moment);
        })
    {
    }

    QStringList pinnedList() const
    {
        QStringList list;
        for (const QJsonValue &entry :
             codex.globalState().value(QStringLiteral("pinned-project-ids")).toArray())
            list.append(entry.toString());
        return list;
    }

    // Runs `operation`, which must fail with `kind`, and returns the error's sentence.
    template <typename Operation>
    QString failure(Operation operation, Kind kind)
    {
        try {
            operation();
        } catch (const CodexGlobalStateStoreError &error) {
            EXPECT_EQ(error.kind(), kind) << error.what();
            return error.message();
        }
        ADD_FAILURE() << "the operation did not fail";
        return {};
    }

    TemporaryHome home;
    FakeCodexHome codex;
    int writeAttempts = 0;
    std::function<void()> duringWrite; // plays Codex writing before the final compare
    std::function<void(Moment)> atEveryMoment;
    CodexGlobalStateStore store;
};

const FakeCodexProjectRecord sharedA{QStringLiteral("p4"), {QStringLiteral("/w/shared")},
                                     std::nullopt};
const FakeCodexProjectRecord sharedB{QStringLiteral("p5"), {QStringLiteral("/w/shared/")},
                                     QStringLiteral("Shared")};

} // namespace

TEST_F(CodexGlobalStateStoreTest, missingFile)
{
    EXPECT_EQ(store.loadSnapshot(), CodexGlobalStateSnapshot());
    store.markThreadRead(QStringLiteral("t1"));
    EXPECT_EQ(store.setPinnedProjectPath(QStringLiteral("/w/a"), false), QSet<QString>());
    EXPECT_EQ(failure([this] { store.setProjectName(QStringLiteral("p1"), QStringLiteral("A")); },
                      Kind::projectNotFound),
              QStringLiteral("Codex could not find this project record."));
    EXPECT_FALSE(QFileInfo::exists(codex.globalStatePath()));
    EXPECT_EQ(writeAttempts, 0);

    EXPECT_EQ(store.setPinnedProjectPath(QStringLiteral("/w/a/"), true),
              QSet<QString>{QStringLiteral("/w/a")});
    EXPECT_EQ(codex.globalStateBytes(), QByteArray(R"({"pinned-project-ids":["/w/a"]})"));
}

TEST_F(CodexGlobalStateStoreTest, snapshotReconcilesThePinnedListOnceAndKeepsEverythingElse)
{
    codex.writeGlobalState(QByteArray(R"({
        "pinned-project-ids": ["/w/a/", "p1", "/w/a", "/w/c/./", "/w/c", "p9", "p9"],
        "zeta": {"b": 1, "a": [{"y": true, "x": null}]},
        "local-projects": {
            "p1": {"rootPaths": ["/w/a/"], "name": " Alpha ", "extra": 1},
            "p2": {"rootPaths": ["/w/b"], "name": "  "},
            "p3": {"rootPaths": "/w/x", "name": "Ignored"},
            "p4": {"rootPaths": ["/w/shared"]},
            "p5": {"rootPaths": ["/w/shared", "~/home-project"]}
        },
        "electron-persisted-atom-state": {
            "unread-thread-ids-by-host-v1": {"local": ["t1", "t2"], "remote": ["r"]}
        },
        "alpha": 1.5
    })"));

    CodexGlobalStateSnapshot expected;
    expected.pinnedProjectPaths = {QStringLiteral("/w/a"), QStringLiteral("/w/c")};
    expected.unreadThreadIDs = {QStringLiteral("t1"), QStringLiteral("t2")};
    expected.projectNamesByID = {{QStringLiteral("p1"), QStringLiteral("Alpha")}};
    expected.projectIDsByPath = {
        {QStringLiteral("/w/a"), {QStringLiteral("p1")}},
        {QStringLiteral("/w/b"), {QStringLiteral("p2")}},
        {QStringLiteral("/w/shared"), {QStringLiteral("p4"), QStringLiteral("p5")}},
        {homeDirectory() + QStringLiteral("/home-project"), {QStringLiteral("p5")}},
    };
    EXPECT_EQ(store.loadSnapshot(), expected);
    EXPECT_EQ(writeAttempts, 1);
    const QByteArray rewritten = codex.globalStateBytes();
    EXPECT_EQ(rewritten,
              QByteArray(R"({"alpha":1.5,"electron-persisted-atom-state":{)"
                         R"("unread-thread-ids-by-host-v1":{"local":["t1","t2"],"remote":["r"]}},)"
                         R"("local-projects":{"p1":{"extra":1,"name":" Alpha ","rootPaths":)"
                         R"(["/w/a/"]},"p2":{"name":"  ","rootPaths":["/w/b"]},"p3":{"name":)"
                         R"("Ignored","rootPaths":"/w/x"},"p4":{"rootPaths":["/w/shared"]},)"
                         R"("p5":{"rootPaths":["/w/shared","~/home-project"]}},)"
                         R"("pinned-project-ids":["p1","/w/c","p9"],)"
                         R"("zeta":{"a":[{"x":null,"y":true}],"b":1}})"));

    EXPECT_EQ(store.loadSnapshot(), expected);
    EXPECT_EQ(writeAttempts, 1) << "a reconciled list is not written again";
    EXPECT_EQ(codex.globalStateBytes(), rewritten);
}

namespace {

struct PinCase
{
    const char *name;
    QStringList before;
    QString path;
    bool pinned;
    QStringList after;
    QSet<QString> pinnedPaths;
};

} // namespace

TEST_F(CodexGlobalStateStoreTest, pinningAndUnpinning)
{
    const QString shared = QStringLiteral("/w/shared");
    const QString fresh = QStringLiteral("/w/new");
    const QList<PinCase> cases = {
        {"a folder of two projects: both ids, ascending, in front",
         {QStringLiteral("other")}, QStringLiteral("/w/shared/"), true,
         {QStringLiteral("p4"), QStringLiteral("p5"), QStringLiteral("other")}, {shared}},
        {"pinning again moves to the front",
         {QStringLiteral("/w/x"), QStringLiteral("p5"), QStringLiteral("p4")}, shared, true,
         {QStringLiteral("p4"), QStringLiteral("p5"), QStringLiteral("/w/x")},
         {shared, QStringLiteral("/w/x")}},
        {"a folder no project lists: its standard path",
         {QStringLiteral("/w/x/")}, QStringLiteral("/w/./new/"), true,
         {fresh, QStringLiteral("/w/x")}, {fresh, QStringLiteral("/w/x")}},
        {"unpinning removes every entry standing for the folder",
         {fresh, QStringLiteral("/w/new/"), QStringLiteral("/w/x/../new"), QStringLiteral("p4")},
         fresh, false, {QStringLiteral("p4")}, {shared}},
        {"unpinning a project removes its ids and its folder",
         {QStringLiteral("p4"), QStringLiteral("x"), QStringLiteral("/w/shared/")}, shared, false,
         {QStringLiteral("x")}, {}},
    };
    for (const PinCase &testCase : cases) {
        SCOPED_TRACE(testCase.name);
        codex.writeGlobalState(FakeCodexHome::globalStateObject(testCase.before, {},
                                                                {sharedA, sharedB}));
        EXPECT_EQ(store.setPinnedProjectPath(testCase.path, testCase.pinned),
                  testCase.pinnedPaths);
        EXPECT_EQ(pinnedList(), testCase.after);
    }

    const QByteArray unchanged = codex.globalStateBytes();
    writeAttempts = 0;
    EXPECT_EQ(store.setPinnedProjectPath(QStringLiteral("/w/elsewhere"), false),
              QSet<QString>());
    EXPECT_EQ(writeAttempts, 0) << "unpinning what is not pinned writes nothing";
    EXPECT_EQ(codex.globalStateBytes(), unchanged);
}

TEST_F(CodexGlobalStateStoreTest, renamingAProject)
{
    codex.writeGlobalState(FakeCodexHome::globalStateObject({}, {}, {sharedA, sharedB}));
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");
    const qint64 before = Timestamp::now().milliseconds();
    store.setProjectName(QStringLiteral("p5"), QStringLiteral("  ") + family.repeated(80)
                                                  + QStringLiteral("\n"));
    const qint64 after = Timestamp::now().milliseconds();
    const QJsonObject record = codex.globalState()
                                   .value(QStringLiteral("local-projects"))
                                   .toObject()
                                   .value(QStringLiteral("p5"))
                                   .toObject();
    EXPECT_EQ(record.value(QStringLiteral("name")).toString(), family.repeated(80));
    const QJsonValue updatedAt = record.value(QStringLiteral("updatedAt"));
    EXPECT_TRUE(updatedAt.isDouble());
    EXPECT_GE(updatedAt.toInteger(), before);
    EXPECT_LE(updatedAt.toInteger(), after);
    EXPECT_EQ(record.value(QStringLiteral("rootPaths")).toArray().size(), 1);

    writeAttempts = 0;
    store.setProjectName(QStringLiteral("p5"), family.repeated(80));
    EXPECT_EQ(writeAttempts, 0) << "the same name writes nothing";

    const auto renameUnknown = [this] {
        store.setProjectName(QStringLiteral("nope"), QStringLiteral("N"));
    };
    EXPECT_EQ(failure(renameUnknown, Kind::projectNotFound),
              QStringLiteral("Codex could not find this project record."));

    // Names are checked before the file is read: this file is not even JSON.
    codex.writeGlobalState(QByteArray("not json"));
    for (const QString &name : {family.repeated(81), QStringLiteral(" \n\t ")}) {
        EXPECT_EQ(failure([&] { store.setProjectName(QStringLiteral("p5"), name); },
                          Kind::invalidProjectName),
                  QStringLiteral("Enter a project name between 1 and 80 characters."));
    }
}

TEST_F(CodexGlobalStateStoreTest, markingAThreadRead)
{
    codex.writeGlobalState(FakeCodexHome::globalStateObject(
        {}, {QStringLiteral("t1"), QStringLiteral("t2"), QStringLiteral("t1")}, {}));
    store.markThreadRead(QStringLiteral("t1"));
    EXPECT_EQ(codex.globalState()
                  .value(QStringLiteral("electron-persisted-atom-state"))
                  .toObject()
                  .value(QStringLiteral("unread-thread-ids-by-host-v1"))
                  .toObject()
                  .value(QStringLiteral("local"))
                  .toArray(),
              QJsonArray{QStringLiteral("t2")});
    EXPECT_EQ(writeAttempts, 1);

    store.markThreadRead(QStringLiteral("t9"));
    codex.writeGlobalState(QByteArray(R"({"electron-persisted-atom-state":{"other":1}})"));
    store.markThreadRead(QStringLiteral("t2"));
    codex.writeGlobalState(QByteArray(
        R"({"electron-persisted-atom-state":{"unread-thread-ids-by-host-v1":{"local":"t2"}}})"));
    store.markThreadRead(QStringLiteral("t2"));
    EXPECT_EQ(writeAttempts, 1) << "nothing to remove, nothing written";
}

TEST_F(CodexGlobalStateStoreTest, unreadableContentsFailAndStayAsTheyAre)
{
    codex.writeGlobalState(QByteArray("{\"pinned-project-ids\": [\"/w/a/\""));
    failure([this] { store.loadSnapshot(); }, Kind::readFailed);
    codex.writeGlobalState(QByteArray(R"(["/w/a/"])"));
    EXPECT_EQ(failure([this] { store.setPinnedProjectPath(QStringLiteral("/w/b"), true); },
                      Kind::invalidJSON),
              QStringLiteral("Codex global state is not a JSON object."));
    EXPECT_EQ(codex.globalStateBytes(), QByteArray(R"(["/w/a/"])"));
    EXPECT_EQ(writeAttempts, 0);
}

TEST_F(CodexGlobalStateStoreTest, writerThatKeepsChangingTheFileWinsAfterThreeAttempts)
{
    QJsonObject codexVersion = FakeCodexHome::globalStateObject({}, {}, {sharedA});
    codexVersion.insert(QStringLiteral("codex-only"), QJsonObject{{QStringLiteral("k"), 1}});
    codex.writeGlobalState(codexVersion);
    int codexWrites = 0;
    duringWrite = [&] {
        codexVersion.insert(QStringLiteral("counter"), ++codexWrites);
        codex.writeGlobalState(codexVersion);
    };

    EXPECT_EQ(failure([this] { store.setPinnedProjectPath(QStringLiteral("/w/shared"), true); },
                      Kind::stateChangedDuringUpdate),
              QStringLiteral("Codex changed its global state while it was being updated. "
                             "Please try again."));
    EXPECT_EQ(writeAttempts, 3);
    EXPECT_EQ(codex.globalState(), codexVersion) << "the file stays as Codex left it";
    EXPECT_EQ(QDir(codex.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral(".codex-global-state.json")})
        << "no temporary file is left behind";
}

TEST_F(CodexGlobalStateStoreTest, changeByAnotherWriterIsKeptByTheNextAttempt)
{
    codex.writeGlobalState(FakeCodexHome::globalStateObject({}, {QStringLiteral("t1")}, {}));
    duringWrite = [this] {
        duringWrite = nullptr;
        QJsonObject state = codex.globalState();
        state.insert(QStringLiteral("written-by-codex"), true);
        codex.writeGlobalState(state);
    };
    EXPECT_EQ(store.setPinnedProjectPath(QStringLiteral("/w/a"), true),
              QSet<QString>{QStringLiteral("/w/a")});
    EXPECT_EQ(writeAttempts, 2);
    EXPECT_EQ(pinnedList(), QStringList{QStringLiteral("/w/a")});
    EXPECT_TRUE(codex.globalState().value(QStringLiteral("written-by-codex")).toBool());
}

namespace {

// Codex writing at one moment of a change: its write appends its number to "codex-writes",
// either of the file as it reads it then or, as a writer that keeps its state in memory, of
// what it wrote last; it renames a new file over the old one, or writes into the old one.
struct CodexStep
{
    Moment moment;
    bool fromMemory = false;
    bool inPlace = false;
};

const QString codexWritesKey = QStringLiteral("codex-writes");

// The state with one more of Codex's writes, numbered `number`.
QJsonObject withCodexWrite(QJsonObject state, int number)
{
    QJsonArray writes = state.value(codexWritesKey).toArray();
    writes.append(number);
    state.insert(codexWritesKey, writes);
    return state;
}

// The numbers of Codex's writes that a state holds, in order.
QStringList codexWrites(const QJsonObject &state)
{
    QStringList numbers;
    for (const QJsonValue &number : state.value(codexWritesKey).toArray())
        numbers.append(QString::number(number.toInt()));
    return numbers;
}

struct GapCase
{
    const char *name;
    bool fileExists;
    QList<CodexStep> steps; // each at the first moment of its kind after the step before
};

} // namespace

// Codex renames a new version over the file in the gaps around our replacement of it, as late
// as the system calls allow: none of its writes is lost, and the change is made on top of all.
TEST_F(CodexGlobalStateStoreTest, writesOfCodexAroundTheReplacementAllSurvive)
{
    const QList<GapCase> cases = {
        {"after the comparison, then from the file at the next attempt",
         true,
         {{Moment::beforeReplacing}, {Moment::beforeFinalCompare}}},
        {"after the comparison, twice in a row",
         true,
         {{Moment::beforeReplacing}, {Moment::beforeReplacing}}},
        {"creating the file after the comparison found none", false, {{Moment::beforeReplacing}}},
        {"into the file compared, after the comparison",
         true,
         {{Moment::beforeReplacing, false, true}}},
        {"after the comparison, and from memory again before its version goes back",
         true,
         {{Moment::beforeReplacing, true}, {Moment::beforePuttingBack, true}}},
        {"after the comparison, and twice from memory while its versions go back",
         true,
         {{Moment::beforeReplacing, true},
          {Moment::beforePuttingBack, true},
          {Moment::beforePuttingBack, true}}},
    };
    for (const GapCase &testCase : cases) {
        SCOPED_TRACE(testCase.name);
        QFile::remove(codex.globalStatePath());
        QJsonObject codexState = FakeCodexHome::globalStateObject({}, {QStringLiteral("t1")}, {});
        if (testCase.fileExists)
            codex.writeGlobalState(codexState);
        QList<CodexStep> steps = testCase.steps;
        QStringList numbers;
        atEveryMoment = [&](Moment moment) {
            if (steps.isEmpty() || steps.first().moment != moment)
                return;
            const CodexStep step = steps.takeFirst();
            if (!step.fromMemory)
                codexState = codex.globalState();
            numbers.append(QString::number(numbers.size() + 1));
            codexState = withCodexWrite(codexState, int(numbers.size()));
            if (step.inPlace)
                codex.writeGlobalState(codexState);
            else
                codex.replaceGlobalState(codexState);
        };

        EXPECT_EQ(store.setPinnedProjectPath(QStringLiteral("/w/a"), true),
                  QSet<QString>{QStringLiteral("/w/a")});
        EXPECT_TRUE(steps.isEmpty()) << "Codex did not get to write at every moment";
        EXPECT_EQ(codexWrites(codex.globalState()), numbers);
        EXPECT_EQ(pinnedList(), QStringList{QStringLiteral("/w/a")});
        EXPECT_EQ(QDir(codex.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral(".codex-global-state.json")});
    }
}

namespace {

// The contents of the files in `folder` other than `except`: where a write's new contents
// wait before they replace the file.
QList<QByteArray> otherFilesIn(const QString &folder, const QString &except)
{
    QList<QByteArray> contents;
    const QDir directory(folder);
    for (const QString &name : directory.entryList(QDir::Files | QDir::Hidden)) {
        if (directory.filePath(name) == except)
            continue;
        QFile file(directory.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            contents.append(file.readAll());
    }
    return contents;
}

} // namespace

TEST_F(CodexGlobalStateStoreTest, writesThroughALinkKeepingTheModeAndTheTemporaryFileComesFirst)
{
    const QString target = home.writeFile(QStringLiteral("dotfiles/codex-state.json"),
                                          R"({"pinned-project-ids":[]})");
    const QString folder = QFileInfo(target).absolutePath();
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0640), 0);
    ASSERT_TRUE(QFile::link(target, codex.globalStatePath()));

    QList<QByteArray> waiting;
    QByteArray fileDuringWrite;
    duringWrite = [&] {
        waiting = otherFilesIn(folder, target);
        fileDuringWrite = codex.globalStateBytes();
    };
    store.setPinnedProjectPath(QStringLiteral("/w/a"), true);

    const QByteArray expected(R"({"pinned-project-ids":["/w/a"]})");
    EXPECT_EQ(waiting, QList<QByteArray>{expected})
        << "the new contents are on disk beside the target before the final comparison";
    EXPECT_EQ(fileDuringWrite, QByteArray(R"({"pinned-project-ids":[]})"));
    EXPECT_TRUE(QFileInfo(codex.globalStatePath()).isSymLink());
    EXPECT_EQ(codex.globalStateBytes(), expected);
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("codex-state.json")});
}

// What killed writers of ours left beside the file goes with the next change that writes, and
// nothing else in Codex's folder does: not Codex's own files, not names that only look alike,
// not a folder, and not a link or what it points at.
TEST_F(CodexGlobalStateStoreTest, aChangeRemovesOnlyTheTemporaryFilesOfKilledWriters)
{
    codex.writeGlobalState(FakeCodexHome::globalStateObject({}, {}, {}));
    const QString prefix = QStringLiteral(".codex-global-state.json.tolvaran-");
    const QStringList leftovers = {prefix + QStringLiteral("AbC129"),
                                   prefix + QStringLiteral("zzzzzz")};
    const QStringList others = {
        QStringLiteral(".codex-global-state.json"),
        QStringLiteral(".codex-global-state.json.codex-tmp"),
        prefix + QStringLiteral("AbC12"),
        prefix + QStringLiteral("AbC1234"),
        prefix + QStringLiteral("AbC-12"),
        QStringLiteral("other.json.tolvaran-AbC123"),
        QStringLiteral("state_5.sqlite"),
    };
    for (const QString &name : leftovers + others.mid(1))
        home.writeFile(QStringLiteral(".codex/") + name, "{}");
    const QString folder = prefix + QStringLiteral("Folder");
    const QString link = prefix + QStringLiteral("Link12");
    ASSERT_TRUE(QDir(codex.path()).mkdir(folder));
    const QString outside = home.writeFile(QStringLiteral("elsewhere.json"), "{}");
    ASSERT_TRUE(QFile::link(outside, codex.path() + QLatin1Char('/') + link));
    const auto entries = [this] {
        QStringList names = QDir(codex.path()).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        names.sort();
        return names;
    };
    QStringList kept = others + QStringList{folder, link};
    kept.sort();

    store.loadSnapshot();
    EXPECT_EQ(entries().size(), kept.size() + leftovers.size()) << "a read removes nothing";
    store.setPinnedProjectPath(QStringLiteral("/w/a"), true);
    EXPECT_EQ(entries(), kept);
    EXPECT_TRUE(QFileInfo::exists(outside));
}

TEST_F(CodexGlobalStateStoreTest, onlyRegularFilesOfBoundedSizeAreRead)
{
    const QByteArray path = QFile::encodeName(codex.globalStatePath());
    QDir().mkpath(codex.path());

    // A FIFO would block the open (and every later refresh and the quit) for ever.
    ASSERT_EQ(::mkfifo(path.constData(), 0600), 0);
    QString sentence = failure([this] { store.loadSnapshot(); }, Kind::readFailed);
    EXPECT_TRUE(sentence.endsWith(QStringLiteral(" is not a regular file.")))
        << qPrintable(sentence);
    failure([this] { store.markThreadRead(QStringLiteral("t1")); }, Kind::readFailed);
    ASSERT_EQ(::unlink(path.constData()), 0);

    // A link to an endless device is no regular file either.
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), codex.globalStatePath()));
    failure([this] { store.loadSnapshot(); }, Kind::readFailed);
    ASSERT_EQ(::unlink(path.constData()), 0);

    // A regular file past the limit fails with the limit in the sentence and is left alone.
    codex.writeGlobalState(QByteArray(R"({"pinned-project-ids":[]})"));
    QFile file(codex.globalStatePath());
    ASSERT_TRUE(file.resize(CodexGlobalStateStore::maximumFileBytes + 1));
    sentence = failure([this] { store.setPinnedProjectPath(QStringLiteral("/w/a"), true); },
                       Kind::readFailed);
    EXPECT_TRUE(sentence.contains(QString::number(CodexGlobalStateStore::maximumFileBytes)))
        << qPrintable(sentence);
    EXPECT_EQ(QFileInfo(codex.globalStatePath()).size(),
              CodexGlobalStateStore::maximumFileBytes + 1);
    EXPECT_EQ(writeAttempts, 0);
}

TEST_F(CodexGlobalStateStoreTest, aFileReadHalfWrittenIsReadAgainLikeAChangedFile)
{
    const QByteArray whole = QJsonDocument(FakeCodexHome::globalStateObject(
                                               {}, {QStringLiteral("t1")}, {}))
                                 .toJson(QJsonDocument::Compact);
    // Codex is in the middle of writing the file in place: the first half is there. It
    // finishes while the store waits to read the file again.
    codex.writeGlobalState(whole.left(whole.size() / 2));
    atEveryMoment = [&](Moment moment) {
        if (moment == Moment::beforeRereading)
            codex.writeGlobalState(whole);
    };
    store.markThreadRead(QStringLiteral("t1"));
    EXPECT_EQ(codex.globalState(), FakeCodexHome::globalStateObject({}, {}, {}));
}

namespace {

// Codex as far as its global state goes: every `interval` it reads the file, appends the
// number of its write to "codex-writes" and puts the result in place by rename, as Codex
// does, until told to stop.
class StandInCodex final
{
public:
    static constexpr std::chrono::milliseconds interval{20};

    explicit StandInCodex(const FakeCodexHome &codex)
        : m_codex(codex)
        , m_thread([this] { run(); })
    {
    }
    ~StandInCodex() { stop(); }

    void stop()
    {
        m_stopping = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    int writes() const { return m_writes; }

private:
    void run()
    {
        while (!m_stopping) {
            m_codex.replaceGlobalState(withCodexWrite(m_codex.globalState(), ++m_writes));
            std::this_thread::sleep_for(interval);
        }
    }

    const FakeCodexHome &m_codex;
    std::atomic<bool> m_stopping = false;
    std::atomic<int> m_writes = 0;
    std::thread m_thread;
};

} // namespace

// Codex and the program change the file as fast as they can for a while. A write of Codex can
// be lost only where no system call can help: Codex renamed it over the file just before our
// replacement, and then read the file in the one call before we put its version back. So no
// more writes are lost than versions were put back, and those that are are counted.
TEST(CodexGlobalStateStoreStress, writesOfCodexAreLostOnlyInTheGapNoCallCloses)
{
    constexpr std::chrono::seconds duration{10};
    TemporaryHome home;
    FakeCodexHome codex(home.filePath(QStringLiteral(".codex")));
    codex.writeGlobalState(FakeCodexHome::globalStateObject({}, {}, {}));
    int putBacks = 0;
    const CodexGlobalStateStore store(codex.globalStatePath(), [&putBacks](Moment moment) {
        putBacks += moment == Moment::beforePuttingBack ? 1 : 0;
    });

    int changes = 0;
    int givenUp = 0;
    StandInCodex standIn(codex);
    const auto end = std::chrono::steady_clock::now() + duration;
    for (bool pin = true; std::chrono::steady_clock::now() < end; pin = !pin) {
        try {
            store.setPinnedProjectPath(QStringLiteral("/w/a"), pin);
            ++changes;
        } catch (const CodexGlobalStateStoreError &error) {
            ASSERT_EQ(error.kind(), Kind::stateChangedDuringUpdate) << error.what();
            ++givenUp;
        }
    }
    standIn.stop();

    // Each write of Codex appends its number to the list of the file it found, so a write
    // that one of ours replaced for good leaves a gap in the final list.
    const QStringList seen = codexWrites(codex.globalState());
    int lost = 0;
    for (int write = 1; write <= standIn.writes(); ++write)
        lost += seen.contains(QString::number(write)) ? 0 : 1;
    std::printf("Codex wrote %d times; %d of its writes were lost; %d of its versions were put "
                "back; we made %d changes and gave up %d times\n",
                standIn.writes(), lost, putBacks, changes, givenUp);
    EXPECT_LE(lost, putBacks);
    EXPECT_GT(changes, 0);
}
