#pragma once

#include "data/catalog/CodexProject.h"
#include "data/catalog/ProjectCatalogError.h"
#include "platform/Timestamp.h"
#include "platform/storage/SqliteDatabase.h"
#include "platform/storage/SqliteStatement.h"

#include <QList>
#include <QString>

#include <cstddef>
#include <optional>

namespace tolvaran::Internal {

// The tables of the project catalog: how its file is opened and its tables made, the
// statements that write a project or a thread row, and the reading of rows back. When each
// runs is ProjectCatalogStore's to decide.

// One saved project row.
struct ProjectRecord
{
    QString path;
    QString name;
    std::optional<QString> codexProjectID;
    bool isPinned = false;
    Timestamp lastActivityAt;
};

// One saved thread row.
struct ThreadRecord
{
    CodexThread thread;
    bool isUnread = false;
};

// Logs SQLite's own message (the window shows only the kind's sentence) and throws
// ProjectCatalogError of `kind`.
[[noreturn]] void failCatalog(ProjectCatalogErrorKind kind, const SqliteError &cause);

// Opens the catalog, creating its folder (0700), file (0600) and tables when missing. Throws
// ProjectCatalogError, or the base Error with the reason when the folder cannot be created.
SqliteDatabase openCatalog(const std::optional<QString> &databasePath);

// The trimmed name; when blank, the folder's own name; when that is empty too, the path.
QString normalizedName(const QString &name, const QString &path);

// Nullable text columns never hold the empty string: a blank value binds NULL, and a NULL or
// blank column reads as none.
void bindOptional(SqliteStatement &statement, int index, const std::optional<QString> &value);
std::optional<QString> optionalText(const SqliteStatement &statement, int column);

// The statements upsertProject and upsertThread run. An existing row is rewritten only when a
// value differs or its last_seen_at is at least ProjectCatalogStore::lastSeenRefreshSeconds
// old, so that a full refresh of unchanged projects writes nothing.
QString projectUpsertStatement();
QString threadUpsertStatement();
void upsertProject(SqliteStatement &statement, const CodexProject &project, const QString &path,
                   Timestamp observedAt);
void upsertThread(SqliteStatement &statement, const CodexThread &thread,
                  const QString &projectPath, bool isUnread, Timestamp observedAt);

QList<ProjectRecord> readProjects(SqliteDatabase &db);
// Every thread, or (when `projectPath` is given) the threads of one project, most recent
// first.
QList<ThreadRecord> readThreads(SqliteDatabase &db, bool includeArchived,
                                const std::optional<QString> &projectPath = std::nullopt);

// What each upsert binds, but for the times of the observation, as one number: equal numbers
// mean the upsert would find what it found the last time.
size_t projectValuesHash(const CodexProject &project, const QString &path);
size_t threadValuesHash(const CodexThread &thread, const QString &projectPath, bool isUnread);

} // namespace tolvaran::Internal
