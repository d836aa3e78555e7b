#pragma once

#include "platform/Timestamp.h"
#include "support/codex/RolloutLines.h"
#include "support/codex/StandInCodexProcess.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <utility>
#include <vector>
#include <optional>

namespace tolvaran::fixtures {

// One row of Codex's thread table, and where its rollout file lives.
struct FakeCodexThread
{
    QString id;
    QString cwd;
    QString title;
    QString preview;
    std::optional<QString> name; // the table's own name column
    Timestamp createdAt;
    Timestamp updatedAt;
    std::optional<Timestamp> recencyAt; // absent: written as 0, as Codex does without one
    bool archived = false;
    std::optional<QString> gitBranch;
    std::optional<QString> gitOriginURL;
    qint64 tokensUsed = 0;
    std::optional<QString> model;
    std::optional<QString> projectID;
    bool isPinned = false;
    // Empty: sessions/YYYY/MM/DD/rollout-…-<id>.jsonl by creation time, or
    // archived_sessions/rollout-…-<id>.jsonl for an archived thread (paths in Codex's folder).
    QString rolloutPath;
    // Raw values for single columns, winning over the fields above (a null QVariant writes
    // NULL): times of 0, text where a number belongs, blank names.
    QHash<QString, QVariant> columnValues;
};

// How the thread database is left on disk.
enum class FakeCodexLogState {
    // Checkpointed and closed: the main file holds every row and the -wal and -shm files are
    // gone, as after Codex closes its last connection cleanly.
    checkpointed,
    // Never checkpointed: the main file holds only its first page and every row sits in the
    // -wal file, beside a -shm file, as Codex often leaves them when it exits.
    rowsOnlyInLog,
};

struct FakeCodexDatabaseOptions
{
    // Columns the table of an older Codex lacks (see FakeCodexHome::olderSchemaOmissions).
    QStringList omittedColumns;
    FakeCodexLogState logState = FakeCodexLogState::checkpointed;
    // Whether the database has the "projects" and "project_roots" tables of Codex 0.171
    // (older versions lack them).
    bool projectTables = true;
};

// One of Codex's own projects in its thread database.
struct FakeCodexDatabaseProject
{
    QString id;
    QString name;
    QStringList rootPaths;
};

// How a generated home looks. Thread i (0 is the newest) was updated `spacing` × i seconds
// before `now`; its rollout file, when it has one, was last modified then too.
struct FakeCodexGeneration
{
    int threadCount = 0;
    // The newest threads get rollout files; the others name rollout files that do not exist.
    int rolloutCount = 0;
    int projectCount = 24;
    int turnsPerRollout = 3;
    int archivedEvery = 9;    // every Nth thread is archived; 0 for none
    int namedEvery = 5;       // every Nth thread has a name in the session index; 0 for none
    int processingEvery = 40; // every Nth rollout ends in a running turn; 0 for none
    QString projectsFolder = QStringLiteral("/home/user/code");
    Timestamp now = Timestamp::now();
    double spacing = 900.0; // seconds
};

// One of Codex's project records in its global-state file.
struct FakeCodexProjectRecord
{
    QString id;
    QStringList rootPaths;
    std::optional<QString> name;
};

// How a conversation turn ends in a rollout file.
enum class FakeTurnEnd {
    completed,   // "task_complete"
    failed,      // "task_complete" carrying an error
    interrupted, // a token count without info, "turn_aborted", and Codex's notice to the user
    running,     // nothing after the start: Codex is still working, or was killed
};

// Writes a whole fake Codex folder (what ~/.codex holds) for tests and benchmarks: the thread
// database with a chosen set of columns, the session index, rollout files and the global-state
// file. Threads are added first and written in one go; rollout files, the session index and
// the global state can be written and appended to at any time, as Codex does. Failures throw
// std::runtime_error.
class FakeCodexHome final
{
public:
    // `codexHome` plays Codex's folder; it is created when missing.
    explicit FakeCodexHome(QString codexHome);

    // The 42 columns of a current Codex thread table, in table order.
    // Requests a user might type, for generated chats (titles, previews, messages).
    static const QStringList &sampleRequests();
    static QStringList threadColumns();
    // The columns the first versions of the table lacked (times in milliseconds, recency,
    // names, previews, models, project ids and the like).
    static QStringList olderSchemaOmissions();

    const QString &path() const { return m_path; }
    QString databasePath() const;
    QString sessionIndexPath() const;
    QString globalStatePath() const;

    // Adds a thread for the next writeDatabase() and returns its rollout path (absolute).
    QString addThread(FakeCodexThread thread);
    const QList<FakeCodexThread> &threads() const { return m_threads; }
    const FakeCodexThread &thread(const QString &id) const;
    // Adds a project record for the next writeDatabase().
    void addDatabaseProject(FakeCodexDatabaseProject project);

    // Writes state_5.sqlite afresh (side files included) in WAL mode, holding every added
    // thread, in one transaction.
    void writeDatabase(const FakeCodexDatabaseOptions &options = {}) const;

    // Replaces the thread's rollout file with `lines` (creating its folders).
    QString writeRollout(const QString &threadID, const QByteArray &lines) const;
    // Appends to the thread's rollout file as Codex does while it works (creating it).
    void appendRolloutLines(const QString &threadID, const QByteArray &lines) const;
    void setRolloutModificationTime(const QString &threadID, Timestamp when) const;

    // "thread-writer-locks/<id>.lock", where Codex holds a thread's writer lock.
    QString writerLockPath(const QString &threadID) const;
    // A process that runs the thread as Codex does: it has the rollout file open and, with
    // `holdsWriterLock`, holds the thread's writer lock. Kill it to leave a killed chat.
    std::unique_ptr<StandInCodexProcess> startCodex(const QString &threadID,
                                                    bool holdsWriterLock = true) const;
    // The writer-lock file a killed Codex leaves behind: there, and locked by nobody.
    void leaveWriterLock(const QString &threadID) const;
    // Keeps a stand-in Codex running the thread (startCodex()) until killCodex() or the end
    // of this object: for worlds whose running turns must show as processing.
    void keepRunning(const QString &threadID);
    // Kills the thread's stand-in, leaving a killed chat.
    void killCodex(const QString &threadID);

    // Appends one {"id","thread_name","updated_at"} line to the session index.
    void appendSessionIndexName(const QString &threadID, const QString &name,
                                Timestamp when = Timestamp::now()) const;
    // Appends raw bytes (a line feed is added) to the session index: malformed lines.
    void appendSessionIndexLine(const QByteArray &line) const;

    void writeGlobalState(const QJsonObject &state) const;
    void writeGlobalState(const QByteArray &contents) const;
    // Writes the state as Codex does: a new file beside it ("<name>.codex-tmp"), renamed over
    // the old one.
    void replaceGlobalState(const QJsonObject &state) const;
    QByteArray globalStateBytes() const; // empty when there is no file
    QJsonObject globalState() const;
    // A global-state object as Codex writes it, with pins, local unread chats and projects.
    static QJsonObject globalStateObject(const QStringList &pinnedProjectIDs,
                                         const QStringList &unreadThreadIDs,
                                         const QList<FakeCodexProjectRecord> &projects);

    // Adds many threads at once and writes their rollout files and session-index names (the
    // database is still written by writeDatabase()). Returns the new ids, newest first.
    QStringList generate(const FakeCodexGeneration &generation);

    // The lines a thread starts with: its session metadata and the environment context Codex
    // adds as a user-role message.
    static QByteArray threadOpening(Timestamp when, const QString &threadID, const QString &cwd);
    // One turn: the user's request, the task start, an answer and a token count, and `end`.
    static QByteArray turn(Timestamp start, const QString &request, FakeTurnEnd end,
                           const rollout::TokenCount &tokens = {});

private:
    QString absolute(const QString &relative) const;

    QString m_path;
    QList<FakeCodexThread> m_threads;
    QList<FakeCodexDatabaseProject> m_projects;
    std::vector<std::pair<QString, std::unique_ptr<StandInCodexProcess>>> m_running;
    QHash<QString, qsizetype> m_indexByID;
};

} // namespace tolvaran::fixtures
