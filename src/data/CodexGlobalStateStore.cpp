#include "data/CodexGlobalStateStore.h"

#include "platform/Graphemes.h"
#include "platform/Paths.h"
#include "platform/Timestamp.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <optional>

namespace tolvaran {

namespace {

const QLatin1String pinnedKey("pinned-project-ids");
const QLatin1String atomStateKey("electron-persisted-atom-state");
const QLatin1String unreadByHostKey("unread-thread-ids-by-host-v1");
const QLatin1String localKey("local");
const QLatin1String localProjectsKey("local-projects");
const QLatin1String rootPathsKey("rootPaths");
const QLatin1String nameKey("name");
const QLatin1String updatedAtKey("updatedAt");

// The mode of a file the store creates; an existing file keeps its own.
constexpr mode_t newFileMode = 0644;

template <typename Result>
struct EditOutcome
{
    Result result;
    bool changed = false;
};

// Codex's project records, indexed by the store's operations.
struct LocalProjectIndex
{
    QHash<QString, QStringList> rootPathsByProjectID;
    QHash<QString, QStringList> projectIDsByRootPath; // ids ascending
    QHash<QString, QString> namesByProjectID;         // trimmed, non-empty
};

// A folder path as every comparison here uses it: a leading tilde expanded, "." and ".."
// resolved, no trailing slash.
QString normalizedPath(const QString &path)
{
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
        return standardizedPath(homeDirectory() + path.mid(1));
    return standardizedPath(path);
}

std::optional<QStringList> stringArray(const QJsonValue &value)
{
    if (!value.isArray())
        return std::nullopt;
    QStringList strings;
    for (const QJsonValue &item : value.toArray()) {
        if (!item.isString())
            return std::nullopt;
        strings.append(item.toString());
    }
    return strings;
}

LocalProjectIndex localProjectIndex(const QJsonObject &state)
{
    LocalProjectIndex index;
    const QJsonObject projects = state.value(localProjectsKey).toObject();
    for (auto member = projects.begin(); member != projects.end(); ++member) {
        const QJsonObject record = member.value().toObject();
        const std::optional<QStringList> rootPaths = stringArray(record.value(rootPathsKey));
        if (!member.value().isObject() || !rootPaths)
            continue;
        const QString id = member.key();
        QStringList normalized;
        for (const QString &rootPath : *rootPaths)
            normalized.append(normalizedPath(rootPath));
        index.rootPathsByProjectID.insert(id, normalized);
        const QJsonValue name = record.value(nameKey);
        if (name.isString() && !name.toString().trimmed().isEmpty())
            index.namesByProjectID.insert(id, name.toString().trimmed());
        for (const QString &rootPath : normalized)
            index.projectIDsByRootPath[rootPath].append(id);
    }
    for (QStringList &ids : index.projectIDsByRootPath)
        std::sort(ids.begin(), ids.end());
    return index;
}

QStringList pinnedList(const QJsonObject &state)
{
    return stringArray(state.value(pinnedKey)).value_or(QStringList());
}

// Each pinned project once, in order of first appearance; a folder that Codex has project
// records for is replaced by their ids. Unknown ids are kept.
QStringList reconciledPinnedProjectIDs(const QStringList &pinned, const LocalProjectIndex &index)
{
    QStringList result;
    QSet<QString> emitted;
    const auto add = [&](const QString &entry) {
        if (!emitted.contains(entry)) {
            emitted.insert(entry);
            result.append(entry);
        }
    };
    for (const QString &entry : pinned) {
        if (!entry.startsWith(QLatin1Char('/'))) {
            add(entry);
            continue;
        }
        const QString path = normalizedPath(entry);
        const auto ids = index.projectIDsByRootPath.constFind(path);
        if (ids == index.projectIDsByRootPath.constEnd()) {
            add(path);
            continue;
        }
        for (const QString &id : *ids)
            add(id);
    }
    return result;
}

QSet<QString> pinnedProjectPaths(const QStringList &pinned, const LocalProjectIndex &index)
{
    QSet<QString> paths;
    for (const QString &entry : pinned) {
        const auto rootPaths = index.rootPathsByProjectID.constFind(entry);
        if (rootPaths != index.rootPathsByProjectID.constEnd()) {
            for (const QString &path : *rootPaths)
                paths.insert(path);
        } else if (entry.startsWith(QLatin1Char('/'))) {
            paths.insert(normalizedPath(entry));
        }
    }
    return paths;
}

// The file's bytes, or nothing when there is no file. A failure throws what `failure` makes of
// the file's error text: the first read of an attempt reports it as a read failure, the read
// just before the replacement as a failed update.
using FailureMaker = CodexGlobalStateStoreError (*)(const QString &);

std::optional<QByteArray> readFile(const QString &path, FailureMaker failure)
{
    if (!QFileInfo::exists(path))
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw failure(file.errorString());
    QByteArray contents = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw failure(file.errorString());
    return contents;
}

// Where a write must go: the file itself, or, when the state path is a symbolic link (a
// dotfiles folder, say), the file it points at, so that the link stays a link.
QString writeTarget(const QString &statePath)
{
    const QFileInfo info(statePath);
    if (!info.isSymLink())
        return statePath;
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.symLinkTarget() : canonical;
}

} // namespace

CodexGlobalStateStore::CodexGlobalStateStore(QString statePath,
                                             std::function<void()> beforeFinalCompare)
    : m_statePath(std::move(statePath))
    , m_beforeFinalCompare(std::move(beforeFinalCompare))
{
}

// Read, edit, write back unless the file changed meanwhile; at most maximumUpdateAttempts
// times. The new contents go to a temporary file beside the target, made durable, before the
// file is read again for the comparison, so that only the comparison and a rename separate
// the check from the replacement: a write by Codex in that window is the only one that can
// be lost.
template <typename Result, typename Edit>
Result CodexGlobalStateStore::updateState(Edit &&edit) const
{
    for (int attempt = 0; attempt < maximumUpdateAttempts; ++attempt) {
        const std::optional<QByteArray> start =
            readFile(m_statePath, &CodexGlobalStateStoreError::readFailed);
        QJsonObject state;
        if (start) {
            QJsonParseError parseError{};
            const QJsonDocument document = QJsonDocument::fromJson(*start, &parseError);
            if (parseError.error != QJsonParseError::NoError)
                throw CodexGlobalStateStoreError::readFailed(parseError.errorString());
            if (!document.isObject())
                throw CodexGlobalStateStoreError::invalidJSON();
            state = document.object();
        }

        EditOutcome<Result> outcome = edit(state);
        if (!outcome.changed)
            return outcome.result;

        // QJsonObject keeps its keys sorted, so the compact form has sorted keys at every level.
        const QByteArray contents = QJsonDocument(state).toJson(QJsonDocument::Compact);
        const QString target = writeTarget(m_statePath);
        struct stat existing {};
        const QByteArray nativeTarget = QFile::encodeName(target);
        const mode_t mode = ::stat(nativeTarget.constData(), &existing) == 0
            ? (existing.st_mode & 07777)
            : newFileMode;

        QSaveFile file(target);
        if (!file.open(QIODevice::WriteOnly))
            throw CodexGlobalStateStoreError::writeFailed(file.errorString());
        if (::fchmod(file.handle(), mode) != 0)
            throw CodexGlobalStateStoreError::writeFailed(
                QStringLiteral("Could not set the mode of %1.").arg(target));
        if (file.write(contents) != contents.size() || !file.flush()
            || ::fsync(file.handle()) != 0)
            throw CodexGlobalStateStoreError::writeFailed(file.errorString());

        if (m_beforeFinalCompare)
            m_beforeFinalCompare();
        const std::optional<QByteArray> current =
            readFile(m_statePath, &CodexGlobalStateStoreError::writeFailed);
        if (current == start) {
            if (!file.commit())
                throw CodexGlobalStateStoreError::writeFailed(file.errorString());
            return outcome.result;
        }
        // Codex wrote meanwhile: drop the temporary file (QSaveFile discards it uncommitted)
        // and start again from Codex's version.
        file.cancelWriting();
    }
    throw CodexGlobalStateStoreError::stateChangedDuringUpdate();
}

CodexGlobalStateSnapshot CodexGlobalStateStore::loadSnapshot() const
{
    return updateState<CodexGlobalStateSnapshot>([](QJsonObject &state) {
        const LocalProjectIndex index = localProjectIndex(state);
        const QStringList asRead = pinnedList(state);
        const QStringList reconciled = reconciledPinnedProjectIDs(asRead, index);
        const bool changed = reconciled != asRead;
        if (changed)
            state.insert(pinnedKey, QJsonArray::fromStringList(reconciled));

        CodexGlobalStateSnapshot snapshot;
        snapshot.pinnedProjectPaths = pinnedProjectPaths(reconciled, index);
        const QJsonValue unread = state.value(atomStateKey)
                                      .toObject()
                                      .value(unreadByHostKey)
                                      .toObject()
                                      .value(localKey);
        for (const QJsonValue &id : unread.toArray()) {
            if (id.isString())
                snapshot.unreadThreadIDs.insert(id.toString());
        }
        snapshot.projectNamesByID = index.namesByProjectID;
        snapshot.projectIDsByPath = index.projectIDsByRootPath;
        return EditOutcome<CodexGlobalStateSnapshot>{snapshot, changed};
    });
}

QSet<QString> CodexGlobalStateStore::setPinnedProjectPath(const QString &path, bool pinned) const
{
    return updateState<QSet<QString>>([&path, pinned](QJsonObject &state) {
        const LocalProjectIndex index = localProjectIndex(state);
        const QStringList asRead = pinnedList(state);
        const QStringList reconciled = reconciledPinnedProjectIDs(asRead, index);
        const QString folder = normalizedPath(path);
        const QStringList ids = index.projectIDsByRootPath.value(folder);

        QStringList remaining;
        for (const QString &entry : reconciled) {
            const bool standsForFolder = ids.contains(entry)
                || (entry.startsWith(QLatin1Char('/')) && normalizedPath(entry) == folder);
            if (!standsForFolder)
                remaining.append(entry);
        }
        QStringList updated;
        if (pinned)
            updated = ids.isEmpty() ? QStringList{folder} : ids;
        updated += remaining;

        const bool changed = updated != asRead;
        if (changed)
            state.insert(pinnedKey, QJsonArray::fromStringList(updated));
        return EditOutcome<QSet<QString>>{pinnedProjectPaths(updated, index), changed};
    });
}

void CodexGlobalStateStore::setProjectName(const QString &projectID, const QString &name) const
{
    const QString trimmed = name.trimmed();
    const qsizetype length = graphemeCount(trimmed);
    if (length < 1 || length > maximumProjectNameLength)
        throw CodexGlobalStateStoreError::invalidProjectName();

    updateState<bool>([&projectID, &trimmed](QJsonObject &state) {
        const QJsonValue projectsValue = state.value(localProjectsKey);
        QJsonObject projects = projectsValue.toObject();
        if (!projectsValue.isObject() || !projects.value(projectID).isObject())
            throw CodexGlobalStateStoreError::projectNotFound();
        QJsonObject record = projects.value(projectID).toObject();
        const QJsonValue current = record.value(nameKey);
        if (current.isString() && current.toString() == trimmed)
            return EditOutcome<bool>{true, false};
        record.insert(nameKey, trimmed);
        record.insert(updatedAtKey, Timestamp::now().milliseconds());
        projects.insert(projectID, record);
        state.insert(localProjectsKey, projects);
        return EditOutcome<bool>{true, true};
    });
}

void CodexGlobalStateStore::markThreadRead(const QString &threadID) const
{
    updateState<bool>([&threadID](QJsonObject &state) {
        const QJsonValue atomValue = state.value(atomStateKey);
        QJsonObject atomState = atomValue.toObject();
        const QJsonValue byHostValue = atomState.value(unreadByHostKey);
        QJsonObject byHost = byHostValue.toObject();
        const std::optional<QStringList> local = stringArray(byHost.value(localKey));
        if (!atomValue.isObject() || !byHostValue.isObject() || !local)
            return EditOutcome<bool>{true, false};
        QStringList remaining = *local;
        if (remaining.removeAll(threadID) == 0)
            return EditOutcome<bool>{true, false};
        byHost.insert(localKey, QJsonArray::fromStringList(remaining));
        atomState.insert(unreadByHostKey, byHost);
        state.insert(atomStateKey, atomState);
        return EditOutcome<bool>{true, true};
    });
}

} // namespace tolvaran
