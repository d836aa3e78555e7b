#include "support/codex/FakeCodexHome.h"

#include "platform/storage/SqliteDatabase.h"
#include "platform/storage/SqliteStatement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>

#include <sqlite3.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <stdexcept>
#include <variant>

namespace tolvaran::fixtures {

namespace {

using ColumnValue = std::variant<std::monostate, qint64, QString>;

struct ThreadColumn
{
    const char *name;
    const char *declaration;
    ColumnValue (*value)(const FakeCodexThread &);
};

ColumnValue optionalText(const std::optional<QString> &text)
{
    return text ? ColumnValue(*text) : ColumnValue();
}

qint64 seconds(Timestamp when)
{
    return qint64(when.seconds);
}

// A thread table shaped like the one current Codex writes. The columns the reader uses carry
// the fields of FakeCodexThread; the rest stand for the remainder of Codex's table with
// plausible constant values, so that rows have a realistic width.
const std::array<ThreadColumn, 42> threadTable{{
    {"id", "TEXT PRIMARY KEY", [](const FakeCodexThread &t) { return ColumnValue(t.id); }},
    {"rollout_path", "TEXT NOT NULL",
     [](const FakeCodexThread &t) { return ColumnValue(t.rolloutPath); }},
    {"created_at", "INTEGER NOT NULL",
     [](const FakeCodexThread &t) { return ColumnValue(seconds(t.createdAt)); }},
    {"updated_at", "INTEGER NOT NULL",
     [](const FakeCodexThread &t) { return ColumnValue(seconds(t.updatedAt)); }},
    {"source", "TEXT NOT NULL",
     [](const FakeCodexThread &) { return ColumnValue(QStringLiteral("cli")); }},
    {"model_provider", "TEXT NOT NULL",
     [](const FakeCodexThread &) { return ColumnValue(QStringLiteral("openai")); }},
    {"cwd", "TEXT NOT NULL", [](const FakeCodexThread &t) { return ColumnValue(t.cwd); }},
    {"title", "TEXT NOT NULL", [](const FakeCodexThread &t) { return ColumnValue(t.title); }},
    {"sandbox_policy", "TEXT NOT NULL",
     [](const FakeCodexThread &) {
         return ColumnValue(QStringLiteral("{\"type\":\"workspace-write\"}"));
     }},
    {"approval_mode", "TEXT NOT NULL",
     [](const FakeCodexThread &) { return ColumnValue(QStringLiteral("on-request")); }},
    {"tokens_used", "INTEGER NOT NULL DEFAULT 0",
     [](const FakeCodexThread &t) { return ColumnValue(t.tokensUsed); }},
    {"has_user_event", "INTEGER NOT NULL DEFAULT 0",
     [](const FakeCodexThread &) { return ColumnValue(qint64(1)); }},
    {"archived", "INTEGER NOT NULL DEFAULT 0",
     [](const FakeCodexThread &t) { return ColumnValue(qint64(t.archived)); }},
    {"archived_at", "INTEGER",
     [](const FakeCodexThread &t) {
         return t.archived ? ColumnValue(seconds(t.updatedAt)) : ColumnValue();
     }},
    {"git_sha", "TEXT", [](const FakeCodexThread &) { return ColumnValue(); }},
    {"git_branch", "TEXT", [](const FakeCodexThread &t) { return optionalText(t.gitBranch); }},
    {"git_origin_url", "TEXT",
     [](const FakeCodexThread &t) { return optionalText(t.gitOriginURL); }},
    {"cli_version", "TEXT",
     [](const FakeCodexThread &) { return ColumnValue(QStringLiteral("0.171.0")); }},
    {"first_user_message", "TEXT",
     [](const FakeCodexThread &t) { return ColumnValue(t.preview); }},
    {"agent_nickname", "TEXT", [](const FakeCodexThread &) { return ColumnValue(); }},
    {"agent_role", "TEXT", [](const FakeCodexThread &) { return ColumnValue(); }},
    {"memory_mode", "TEXT",
     [](const FakeCodexThread &) { return ColumnValue(QStringLiteral("enabled")); }},
    {"model", "TEXT", [](const FakeCodexThread &t) { return optionalText(t.model); }},
    {"reasoning_effort", "TEXT",
     [](const FakeCodexThread &) { return ColumnValue(QStringLiteral("medium")); }},
    {"preview", "TEXT", [](const FakeCodexThread &t) { return ColumnValue(t.preview); }},
    {"name", "TEXT", [](const FakeCodexThread &t) { return optionalText(t.name); }},
    {"updated_at_ms", "INTEGER",
     [](const FakeCodexThread &t) { return ColumnValue(t.updatedAt.milliseconds()); }},
    {"created_at_ms", "INTEGER",
     [](const FakeCodexThread &t) { return ColumnValue(t.createdAt.milliseconds()); }},
    {"recency_at", "INTEGER",
     [](const FakeCodexThread &t) {
         return ColumnValue(t.recencyAt ? seconds(*t.recencyAt) : qint64(0));
     }},
    {"recency_at_ms", "INTEGER",
     [](const FakeCodexThread &t) {
         return ColumnValue(t.recencyAt ? t.recencyAt->milliseconds() : qint64(0));
     }},
    {"project_id", "TEXT", [](const FakeCodexThread &t) { return optionalText(t.projectID); }},
    {"is_pinned", "INTEGER NOT NULL DEFAULT 0",
     [](const FakeCodexThread &t) { return ColumnValue(qint64(t.isPinned)); }},
    {"pinned_at", "INTEGER", [](const FakeCodexThread &) { return ColumnValue(); }},
    {"parent_thread_id", "TEXT", [](const FakeCodexThread &) { return ColumnValue(); }},
    {"forked_from_id", "TEXT", [](const FakeCodexThread &) { return ColumnValue(); }},
    {"originator", "TEXT",
     [](const FakeCodexThread &) { return ColumnValue(QStringLiteral("codex_cli_rs")); }},
    {"instructions_hash", "TEXT", [](const FakeCodexThread &) { return ColumnValue(); }},
    {"context_window", "INTEGER",
     [](const FakeCodexThread &) { return ColumnValue(qint64(272000)); }},
    {"last_turn_id", "TEXT", [](const FakeCodexThread &) { return ColumnValue(); }},
    {"turn_count", "INTEGER NOT NULL DEFAULT 0",
     [](const FakeCodexThread &) { return ColumnValue(qint64(1)); }},
    {"summary", "TEXT", [](const FakeCodexThread &) { return ColumnValue(); }},
    {"deleted_at", "INTEGER", [](const FakeCodexThread &) { return ColumnValue(); }},
}};

void bindValue(SqliteStatement &statement, int index, const ColumnValue &value)
{
    if (const auto *number = std::get_if<qint64>(&value))
        statement.bind(index, *number);
    else if (const auto *text = std::get_if<QString>(&value))
        statement.bind(index, *text);
    else
        statement.bindNull(index);
}

void bindVariant(SqliteStatement &statement, int index, const QVariant &value)
{
    if (value.isNull())
        statement.bindNull(index);
    else if (value.typeId() == QMetaType::QString)
        statement.bind(index, value.toString());
    else if (value.typeId() == QMetaType::Double)
        statement.bind(index, value.toDouble());
    else
        statement.bind(index, value.toLongLong());
}

void writeBytes(const QString &path, const QByteArray &contents, QIODevice::OpenMode mode)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(mode) || file.write(contents) != contents.size())
        throw std::runtime_error("could not write " + path.toStdString());
}

void removeDatabaseFiles(const QString &path)
{
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(path + suffix);
}

QString rolloutFileName(const FakeCodexThread &thread)
{
    const QString stamp =
        thread.createdAt.toDateTime().toString(QStringLiteral("yyyy-MM-ddTHH-mm-ss"));
    return QStringLiteral("rollout-%1-%2.jsonl").arg(stamp, thread.id);
}

constexpr int writerBusyTimeoutMilliseconds = 10000;

// The project tables as Codex 0.171 declares them.
void writeProjectTables(SqliteDatabase &db, const QList<FakeCodexDatabaseProject> &projects)
{
    db.execute(QStringLiteral("CREATE TABLE projects (\n    id TEXT PRIMARY KEY,\n"
                              "    name TEXT NOT NULL,\n    metadata TEXT,\n"
                              "    position INTEGER NOT NULL DEFAULT 0,\n"
                              "    created_at INTEGER NOT NULL,\n"
                              "    updated_at INTEGER NOT NULL\n)"));
    db.execute(QStringLiteral("CREATE TABLE project_roots (\n    project_id TEXT NOT NULL,\n"
                              "    position INTEGER NOT NULL,\n    path TEXT NOT NULL,\n"
                              "    PRIMARY KEY (project_id, position)\n)"));
    SqliteStatement project(db, QStringLiteral("INSERT INTO projects (id, name, metadata, "
                                               "position, created_at, updated_at) "
                                               "VALUES (?, ?, '{}', ?, 1760000000, 1760000000)"));
    SqliteStatement root(db, QStringLiteral("INSERT INTO project_roots (project_id, position, "
                                            "path) VALUES (?, ?, ?)"));
    for (qsizetype i = 0; i < projects.size(); ++i) {
        project.bind(1, projects[i].id);
        project.bind(2, projects[i].name);
        project.bind(3, qint64(i));
        project.run();
        project.reset();
        for (qsizetype r = 0; r < projects[i].rootPaths.size(); ++r) {
            root.bind(1, projects[i].id);
            root.bind(2, qint64(r));
            root.bind(3, projects[i].rootPaths[r]);
            root.run();
            root.reset();
        }
    }
}

const std::array<const char *, 24> projectNames{{
    "atlas", "beacon", "cobalt", "delta", "ember", "fjord", "granite", "harbor",
    "indigo", "juniper", "kestrel", "lumen", "meridian", "nimbus", "onyx", "prairie",
    "quartz", "ridge", "sierra", "tundra", "umber", "vertex", "willow", "zephyr",
}};


} // namespace

FakeCodexHome::FakeCodexHome(QString codexHome)
    : m_path(std::move(codexHome))
{
    if (!QDir().mkpath(m_path))
        throw std::runtime_error("could not create " + m_path.toStdString());
}

QStringList FakeCodexHome::threadColumns()
{
    QStringList columns;
    for (const ThreadColumn &column : threadTable)
        columns.append(QString::fromLatin1(column.name));
    return columns;
}

QStringList FakeCodexHome::olderSchemaOmissions()
{
    return {
        QStringLiteral("preview"),          QStringLiteral("name"),
        QStringLiteral("updated_at_ms"),    QStringLiteral("created_at_ms"),
        QStringLiteral("recency_at"),       QStringLiteral("recency_at_ms"),
        QStringLiteral("project_id"),       QStringLiteral("model"),
        QStringLiteral("is_pinned"),        QStringLiteral("pinned_at"),
        QStringLiteral("reasoning_effort"), QStringLiteral("agent_nickname"),
        QStringLiteral("agent_role"),       QStringLiteral("memory_mode"),
        QStringLiteral("parent_thread_id"), QStringLiteral("forked_from_id"),
        QStringLiteral("summary"),          QStringLiteral("deleted_at"),
    };
}

QString FakeCodexHome::absolute(const QString &relative) const
{
    return m_path + QLatin1Char('/') + relative;
}

QString FakeCodexHome::databasePath() const
{
    return absolute(QStringLiteral("state_5.sqlite"));
}

QString FakeCodexHome::sessionIndexPath() const
{
    return absolute(QStringLiteral("session_index.jsonl"));
}

QString FakeCodexHome::globalStatePath() const
{
    return absolute(QStringLiteral(".codex-global-state.json"));
}

QString FakeCodexHome::addThread(FakeCodexThread thread)
{
    if (m_indexByID.contains(thread.id))
        throw std::runtime_error("duplicate thread id " + thread.id.toStdString());
    if (thread.rolloutPath.isEmpty()) {
        thread.rolloutPath = thread.archived
            ? absolute(QStringLiteral("archived_sessions/") + rolloutFileName(thread))
            : absolute(thread.createdAt.toDateTime().toString(
                           QStringLiteral("'sessions/'yyyy/MM/dd/"))
                       + rolloutFileName(thread));
    }
    m_indexByID.insert(thread.id, m_threads.size());
    m_threads.append(std::move(thread));
    return m_threads.constLast().rolloutPath;
}

const FakeCodexThread &FakeCodexHome::thread(const QString &id) const
{
    const auto index = m_indexByID.constFind(id);
    if (index == m_indexByID.constEnd())
        throw std::runtime_error("no thread " + id.toStdString());
    return m_threads.at(*index);
}

void FakeCodexHome::addDatabaseProject(FakeCodexDatabaseProject project)
{
    m_projects.append(std::move(project));
}

void FakeCodexHome::writeDatabase(const FakeCodexDatabaseOptions &options) const
{
    const QString path = databasePath();
    removeDatabaseFiles(path);

    QList<const ThreadColumn *> columns;
    for (const ThreadColumn &column : threadTable) {
        if (!options.omittedColumns.contains(QLatin1String(column.name)))
            columns.append(&column);
    }
    QStringList declarations;
    QStringList names;
    QStringList placeholders;
    for (const ThreadColumn *column : columns) {
        declarations.append(QStringLiteral("%1 %2").arg(QLatin1String(column->name),
                                                        QLatin1String(column->declaration)));
        names.append(QLatin1String(column->name));
        placeholders.append(QStringLiteral("?"));
    }

    SqliteDatabase db(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    // Like Codex, the writer waits for a reader's lock (a coordinator under test may be
    // reading the database right now) rather than failing at once.
    db.setBusyTimeout(writerBusyTimeoutMilliseconds);
    db.execute(QStringLiteral("PRAGMA journal_mode = WAL"));
    if (options.logState == FakeCodexLogState::rowsOnlyInLog) {
        db.execute(QStringLiteral("PRAGMA wal_autocheckpoint = 0"));
        db.preserveForeignWalFiles();
    }
    db.execute(QStringLiteral("CREATE TABLE threads (\n    %1\n)")
                   .arg(declarations.join(QStringLiteral(",\n    "))));

    SqliteTransaction transaction(db);
    SqliteStatement insert(db, QStringLiteral("INSERT INTO threads (%1) VALUES (%2)")
                                   .arg(names.join(QStringLiteral(", ")),
                                        placeholders.join(QStringLiteral(", "))));
    for (const FakeCodexThread &thread : m_threads) {
        for (int index = 0; index < columns.size(); ++index) {
            const QString name = QLatin1String(columns[index]->name);
            const auto raw = thread.columnValues.constFind(name);
            if (raw != thread.columnValues.constEnd())
                bindVariant(insert, index + 1, *raw);
            else
                bindValue(insert, index + 1, columns[index]->value(thread));
        }
        insert.run();
        insert.reset();
    }
    if (options.projectTables)
        writeProjectTables(db, m_projects);
    transaction.commit();
    // Closing the connection checkpoints and removes the side files, unless
    // preserveForeignWalFiles() asked SQLite to leave the log as it is.
}

QString FakeCodexHome::writeRollout(const QString &threadID, const QByteArray &lines) const
{
    const QString path = thread(threadID).rolloutPath;
    writeBytes(path, lines, QIODevice::WriteOnly | QIODevice::Truncate);
    return path;
}

void FakeCodexHome::appendRolloutLines(const QString &threadID, const QByteArray &lines) const
{
    writeBytes(thread(threadID).rolloutPath, lines, QIODevice::WriteOnly | QIODevice::Append);
}

void FakeCodexHome::setRolloutModificationTime(const QString &threadID, Timestamp when) const
{
    const QByteArray native = QFile::encodeName(thread(threadID).rolloutPath);
    const qint64 nanoseconds = qint64(when.seconds * 1e9);
    const struct timespec time{nanoseconds / 1000000000, nanoseconds % 1000000000};
    const struct timespec times[2] = {time, time};
    if (::utimensat(AT_FDCWD, native.constData(), times, 0) != 0)
        throw std::runtime_error("could not set the time of " + native.toStdString());
}

QString FakeCodexHome::writerLockPath(const QString &threadID) const
{
    return absolute(QStringLiteral("thread-writer-locks/") + threadID + QStringLiteral(".lock"));
}

std::unique_ptr<StandInCodexProcess> FakeCodexHome::startCodex(const QString &threadID,
                                                               bool holdsWriterLock) const
{
    QString lockPath;
    if (holdsWriterLock) {
        lockPath = writerLockPath(threadID);
        QDir().mkpath(QFileInfo(lockPath).absolutePath());
    }
    return std::make_unique<StandInCodexProcess>(thread(threadID).rolloutPath, lockPath);
}

void FakeCodexHome::keepRunning(const QString &threadID)
{
    m_running.emplace_back(threadID, startCodex(threadID));
}

void FakeCodexHome::killCodex(const QString &threadID)
{
    for (auto &[id, process] : m_running) {
        if (id == threadID)
            process->kill();
    }
}

void FakeCodexHome::leaveWriterLock(const QString &threadID) const
{
    writeBytes(writerLockPath(threadID), {}, QIODevice::WriteOnly | QIODevice::Truncate);
}

void FakeCodexHome::appendSessionIndexName(const QString &threadID, const QString &name,
                                           Timestamp when) const
{
    const QJsonObject line{
        {QStringLiteral("id"), threadID},
        {QStringLiteral("thread_name"), name},
        {QStringLiteral("updated_at"), rollout::timestampText(when)},
    };
    appendSessionIndexLine(QJsonDocument(line).toJson(QJsonDocument::Compact));
}

void FakeCodexHome::appendSessionIndexLine(const QByteArray &line) const
{
    writeBytes(sessionIndexPath(), line + '\n', QIODevice::WriteOnly | QIODevice::Append);
}

void FakeCodexHome::writeGlobalState(const QJsonObject &state) const
{
    writeGlobalState(QJsonDocument(state).toJson(QJsonDocument::Compact));
}

void FakeCodexHome::writeGlobalState(const QByteArray &contents) const
{
    writeBytes(globalStatePath(), contents, QIODevice::WriteOnly | QIODevice::Truncate);
}

void FakeCodexHome::replaceGlobalState(const QJsonObject &state) const
{
    const QString temporary = globalStatePath() + QStringLiteral(".codex-tmp");
    writeBytes(temporary, QJsonDocument(state).toJson(QJsonDocument::Compact),
               QIODevice::WriteOnly | QIODevice::Truncate);
    if (::rename(QFile::encodeName(temporary).constData(),
                 QFile::encodeName(globalStatePath()).constData())
        != 0) {
        throw std::runtime_error("could not rename " + temporary.toStdString());
    }
}

QByteArray FakeCodexHome::globalStateBytes() const
{
    QFile file(globalStatePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QJsonObject FakeCodexHome::globalState() const
{
    return QJsonDocument::fromJson(globalStateBytes()).object();
}

QJsonObject FakeCodexHome::globalStateObject(const QStringList &pinnedProjectIDs,
                                             const QStringList &unreadThreadIDs,
                                             const QList<FakeCodexProjectRecord> &projects)
{
    QJsonObject localProjects;
    for (const FakeCodexProjectRecord &project : projects) {
        QJsonObject record{
            {QStringLiteral("id"), project.id},
            {QStringLiteral("rootPaths"), QJsonArray::fromStringList(project.rootPaths)},
        };
        if (project.name)
            record.insert(QStringLiteral("name"), *project.name);
        localProjects.insert(project.id, record);
    }
    return QJsonObject{
        {QStringLiteral("pinned-project-ids"), QJsonArray::fromStringList(pinnedProjectIDs)},
        {QStringLiteral("electron-persisted-atom-state"),
         QJsonObject{{QStringLiteral("unread-thread-ids-by-host-v1"),
                      QJsonObject{{QStringLiteral("local"),
                                   QJsonArray::fromStringList(unreadThreadIDs)}}}}},
        {QStringLiteral("local-projects"), localProjects},
    };
}

QByteArray FakeCodexHome::threadOpening(Timestamp when, const QString &threadID,
                                        const QString &cwd)
{
    const QString context = QStringLiteral("<environment_context>\n  <cwd>%1</cwd>\n"
                                           "  <approval_policy>on-request</approval_policy>\n"
                                           "  <shell>bash</shell>\n</environment_context>")
                                .arg(cwd);
    return rollout::sessionMeta(when, threadID, cwd) + rollout::userMessage(when, context);
}

QByteArray FakeCodexHome::turn(Timestamp start, const QString &request, FakeTurnEnd end,
                               const rollout::TokenCount &tokens)
{
    QByteArray lines = rollout::userMessage(start, request)
        + rollout::taskStarted(start.addingSeconds(0.01))
        + rollout::assistantMessage(start.addingSeconds(2), QStringLiteral("Working on it."))
        + rollout::tokenCount(start.addingSeconds(2.5), tokens);
    const Timestamp finish = start.addingSeconds(30);
    switch (end) {
    case FakeTurnEnd::completed:
        lines += rollout::taskComplete(finish);
        break;
    case FakeTurnEnd::failed:
        lines += rollout::taskComplete(finish, true);
        break;
    case FakeTurnEnd::interrupted:
        lines += rollout::tokenCountWithoutInfo(finish) + rollout::turnAborted(finish)
            + rollout::userMessage(finish,
                                   QStringLiteral("<turn_aborted>\nThe user interrupted the "
                                                  "previous turn.\n</turn_aborted>"));
        break;
    case FakeTurnEnd::running:
        break;
    }
    return lines;
}

QStringList FakeCodexHome::generate(const FakeCodexGeneration &generation)
{
    const QUuid space =
        QUuid::fromString(QStringLiteral("{5b0c8a4e-3f1d-4c2a-9e77-0d6a1c2b9f10}"));
    const auto every = [](int n, int i) { return n > 0 && i % n == n - 1; };
    const int projectCount = std::max(1, generation.projectCount);
    const int turns = std::max(1, generation.turnsPerRollout);
    const qsizetype firstSerial = m_threads.size();
    QStringList ids;
    for (int i = 0; i < generation.threadCount; ++i) {
        const int project = i % projectCount;
        const int wordCount = int(projectNames.size());
        QString projectName = QString::fromLatin1(projectNames[std::size_t(project % wordCount)]);
        if (project >= wordCount)
            projectName += QStringLiteral("-%1").arg(project / wordCount);
        const QStringList &requests = sampleRequests();
        const QString request = requests[i % requests.size()];

        FakeCodexThread thread;
        thread.id = QUuid::createUuidV5(space, QString::number(firstSerial + i))
                        .toString(QUuid::WithoutBraces);
        thread.cwd = generation.projectsFolder + QLatin1Char('/') + projectName;
        thread.title = request;
        thread.preview = request;
        thread.updatedAt = generation.now.addingSeconds(-generation.spacing * i);
        thread.createdAt = thread.updatedAt.addingSeconds(-3600);
        thread.recencyAt = thread.updatedAt;
        thread.archived = every(generation.archivedEvery, i);
        thread.gitBranch = i % 3 == 0 ? QStringLiteral("main")
                                      : QStringLiteral("feature/%1").arg(i % 5);
        thread.gitOriginURL = QStringLiteral("git@example.com:team/%1.git").arg(projectName);
        thread.model = QStringLiteral("gpt-5-codex");

        const bool hasRollout = i < generation.rolloutCount;
        QByteArray lines;
        if (hasRollout) {
            lines = threadOpening(thread.createdAt, thread.id, thread.cwd);
            rollout::TokenCount tokens;
            for (int t = 0; t < turns; ++t) {
                tokens.last = {12000 + 100 * t, 9000, 800 + 10 * t, 300};
                tokens.total.input += tokens.last.input;
                tokens.total.cachedInput += tokens.last.cachedInput;
                tokens.total.output += tokens.last.output;
                tokens.total.reasoningOutput += tokens.last.reasoningOutput;
                const bool running = t == turns - 1 && generation.processingEvery > 0
                    && i % generation.processingEvery == 0;
                const Timestamp start = thread.createdAt.addingSeconds(3600.0 * t / turns);
                const QString text = t == 0 ? request : QStringLiteral("Now also: ") + request;
                lines += turn(start, text, running ? FakeTurnEnd::running : FakeTurnEnd::completed,
                              tokens);
            }
            thread.tokensUsed = tokens.total.total();
        }
        const QString id = thread.id;
        const Timestamp updatedAt = thread.updatedAt;
        addThread(std::move(thread));
        if (hasRollout) {
            writeRollout(id, lines);
            setRolloutModificationTime(id, updatedAt);
        }
        if (generation.namedEvery > 0 && i % generation.namedEvery == 0)
            appendSessionIndexName(id, QStringLiteral("%1 #%2").arg(projectName).arg(i));
        ids.append(id);
    }
    return ids;
}

const QStringList &FakeCodexHome::sampleRequests()
{
    static const QStringList requests{
        QStringLiteral("Fix the failing test in the parser"),
        QStringLiteral("Add a command-line flag for verbose output"),
        QStringLiteral("Why does the build take so long? Find the slow step"),
        QStringLiteral("Refactor the settings dialog into smaller widgets"),
        QStringLiteral("Write a migration for the new column"),
        QStringLiteral("Explain what this function does and add comments"),
        QStringLiteral("Update the README with the new install steps"),
        QStringLiteral("Find the memory leak in the cache"),
        QStringLiteral("Add pagination to the orders endpoint"),
        QStringLiteral("Make the retry logic back off exponentially"),
        QStringLiteral("Port the date handling to UTC everywhere"),
        QStringLiteral("Review this diff for race conditions"),
        QStringLiteral("Split the monolithic handler into services"),
        QStringLiteral("Add structured logging to the worker"),
        QStringLiteral("Bump dependencies and fix the deprecations"),
        QStringLiteral("Write integration tests for the webhook flow"),
    };
    return requests;
}

} // namespace tolvaran::fixtures
