#include "data/codex/CodexGlobalStateStore.h"

#include "platform/storage/AtomicRename.h"
#include "platform/storage/FileDescriptor.h"
#include "platform/Graphemes.h"
#include "platform/Paths.h"
#include "platform/storage/RegularFileRead.h"
#include "platform/Timestamp.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvaran {

namespace {

using ErrorKind = CodexGlobalStateStoreErrorKind;

const QLatin1String pinnedKey("pinned-project-ids");
const QLatin1String atomStateKey("electron-persisted-atom-state");
const QLatin1String unreadByHostKey("unread-thread-ids-by-host-v1");
const QLatin1String localKey("local");
const QLatin1String localProjectsKey("local-projects");
const QLatin1String rootPathsKey("rootPaths");
const QLatin1String nameKey("name");
const QLatin1String updatedAtKey("updatedAt");

// How often in one change a write by Codex found displaced is carried into ours before the
// change gives up (each needs Codex to write in a gap of microseconds).
constexpr int maximumGapRepairs = 8;

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

// The file's bytes, or nothing when there is no file. A failure throws the error of kind
// `failure` with the reason: the first read of an attempt reports it as a read failure, the
// reads around the replacement as a failed update.
std::optional<QByteArray> readFile(const QString &path, ErrorKind failure)
{
    RegularFileRead read = readRegularFile(path, CodexGlobalStateStore::maximumFileBytes);
    if (read.status == RegularFileRead::Status::missing)
        return std::nullopt;
    if (!read.isRead())
        throw CodexGlobalStateStoreError(failure, read.failure);
    return std::move(read.contents);
}

// The state as JSON, or nothing when the bytes are not JSON at all (`parseError` says why);
// a top level that is not an object throws.
std::optional<QJsonObject> parsedState(const QByteArray &bytes, QString &parseError)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        parseError = error.errorString();
        return std::nullopt;
    }
    if (!document.isObject())
        throw CodexGlobalStateStoreError(ErrorKind::invalidJSON);
    return document.object();
}

struct TemporaryFile
{
    QString path;
    FileDescriptor descriptor; // open, so that a deferred sync reaches the file wherever it is
};

// A temporary file beside `target`, holding `contents` with `mode`, synced to disk unless
// `deferSync` (the caller then syncs it through its descriptor once it is in place).
TemporaryFile writeTemporaryFile(const QString &target, const QByteArray &contents, mode_t mode,
                                 bool deferSync)
{
    QByteArray pattern = QFile::encodeName(target) + ".tolvaran-XXXXXX";
    FileDescriptor file(::mkostemp(pattern.data(), O_CLOEXEC));
    if (!file.isValid()) {
        throw CodexGlobalStateStoreError(
            ErrorKind::writeFailed,
            QStringLiteral("Could not create a temporary file beside %1.").arg(target));
    }
    const QString path = QFile::decodeName(pattern);
    const auto fail = [&path](const QString &sentence) {
        ::unlink(QFile::encodeName(path).constData());
        return CodexGlobalStateStoreError(ErrorKind::writeFailed, sentence);
    };
    if (::fchmod(file.get(), mode) != 0)
        throw fail(QStringLiteral("Could not set the mode of %1.").arg(target));
    qint64 written = 0;
    while (written < contents.size()) {
        const ssize_t put = ::write(file.get(), contents.constData() + written,
                                    size_t(contents.size() - written));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            throw fail(QStringLiteral("Could not write %1.").arg(path));
        written += put;
    }
    if (!deferSync && ::fsync(file.get()) != 0)
        throw fail(QStringLiteral("Could not write %1.").arg(path));
    return {path, std::move(file)};
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
                                             std::function<void()> beforeFinalCompare,
                                             std::function<void()> beforeSwap)
    : m_statePath(std::move(statePath))
    , m_beforeFinalCompare(std::move(beforeFinalCompare))
    , m_beforeSwap(std::move(beforeSwap))
{
}

// Read, edit, write back unless the file changed meanwhile; at most maximumUpdateAttempts
// times. Codex rewrites the file whenever it likes, so the window in which one of its writes
// could be lost is kept as small as the file system allows and what is left is checked:
// - everything is prepared first (the new contents in a durable temporary file beside the
//   target), then the file is compared with what the attempt read and swapped with ours
//   straight after;
// - the swap is an exchange (renameat2 RENAME_EXCHANGE), so the file we displaced is still
//   there to look at: when it is not what the attempt read, Codex wrote in the gap, and the
//   next attempt edits Codex's version (which already holds the change) and swaps again, so
//   that write is not lost. File systems without the exchange get a plain rename, whose gap is
//   only narrowed;
// - afterwards the file must be ours; a later write by Codex (which may not hold our change)
//   makes the next attempt edit its version.
// A read that is not JSON while the file keeps changing (Codex writing it in place) counts as
// a changed file; the same bytes twice in a row are a broken file.
template <typename Result, typename Edit>
Result CodexGlobalStateStore::updateState(Edit &&edit) const
{
    // What the attempt edits, and what the file must hold when ours replaces it. They differ
    // only after Codex wrote in the gap: then the edit starts from Codex's displaced version
    // while the file holds ours.
    std::optional<QByteArray> base;
    std::optional<QByteArray> expected;
    bool carried = false;
    int gapRepairs = 0;
    std::optional<QByteArray> lastUnparsable;
    QString parseError;
    for (int attempt = 0; attempt < maximumUpdateAttempts; ++attempt) {
        if (!carried) {
            base = readFile(m_statePath, ErrorKind::readFailed);
            expected = base;
        }
        QJsonObject state;
        if (base) {
            std::optional<QJsonObject> parsed = parsedState(*base, parseError);
            if (!parsed) {
                if (!carried && lastUnparsable == base)
                    throw CodexGlobalStateStoreError(ErrorKind::readFailed, parseError);
                lastUnparsable = base;
                carried = false;
                std::this_thread::sleep_for(tornReadPause);
                continue;
            }
            state = std::move(*parsed);
        }

        EditOutcome<Result> outcome = edit(state);
        if (!outcome.changed && !carried)
            return outcome.result;
        // QJsonObject keeps its keys sorted, so the compact form has sorted keys at every level.
        // A displaced version that needs no change goes back as Codex wrote it.
        const QByteArray contents = outcome.changed
            ? QJsonDocument(state).toJson(QJsonDocument::Compact)
            : base.value_or(QByteArray());

        const QString target = writeTarget(m_statePath);
        const QByteArray nativeTarget = QFile::encodeName(target);
        struct stat existing {};
        const mode_t mode = ::stat(nativeTarget.constData(), &existing) == 0
            ? (existing.st_mode & 07777)
            : newFileMode;
        // Carrying a write of Codex forward is a race against Codex reading our file in the
        // meantime, so its sync waits until the file is in place.
        const bool deferSync = carried;
        carried = false;
        TemporaryFile written = writeTemporaryFile(target, contents, mode, deferSync);
        const QString temporary = written.path;
        const QByteArray nativeTemporary = QFile::encodeName(temporary);
        const auto removeTemporary = [&nativeTemporary] { ::unlink(nativeTemporary.constData()); };

        if (m_beforeFinalCompare)
            m_beforeFinalCompare();
        std::optional<QByteArray> current;
        try {
            current = readFile(m_statePath, ErrorKind::writeFailed);
        } catch (...) {
            removeTemporary();
            throw;
        }
        if (current != expected) {
            removeTemporary();
            continue;
        }
        if (m_beforeSwap)
            m_beforeSwap();
        // No file yet: ours goes in only if Codex has not made one in the gap.
        int error = atomicRename(nativeTemporary.constData(), nativeTarget.constData(),
                                 expected ? AtomicRenameMode::exchange
                                          : AtomicRenameMode::noReplace);
        const bool exchanged = error == 0 && expected;
        if (error == EEXIST) {
            removeTemporary();
            continue;
        }
        if (isAtomicRenameUnsupported(error)) {
            error = ::rename(nativeTemporary.constData(), nativeTarget.constData()) == 0
                        ? 0
                        : errno;
        }
        if (error != 0) {
            removeTemporary();
            throw CodexGlobalStateStoreError(ErrorKind::writeFailed,
                                             QString::fromLocal8Bit(std::strerror(error)));
        }
        if (deferSync)
            ::fsync(written.descriptor.get()); // in place already; a failure loses nothing more
        if (exchanged) {
            // What we displaced: the version we expected, or a write by Codex in the gap.
            const RegularFileRead displaced = readRegularFile(temporary, maximumFileBytes);
            removeTemporary();
            if (displaced.isRead() && displaced.contents != *expected) {
                base = displaced.contents;
                expected = contents;
                carried = true;
                // Carrying Codex's write forward is not a new attempt, not even after the
                // last one: stopping here would leave that write lost.
                if (++gapRepairs <= maximumGapRepairs)
                    --attempt;
                continue;
            }
        }
        const RegularFileRead after = readRegularFile(m_statePath, maximumFileBytes);
        if (after.isRead() && after.contents == contents)
            return outcome.result;
    }
    throw CodexGlobalStateStoreError(ErrorKind::stateChangedDuringUpdate);
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
        throw CodexGlobalStateStoreError(ErrorKind::invalidProjectName);

    updateState<bool>([&projectID, &trimmed](QJsonObject &state) {
        const QJsonValue projectsValue = state.value(localProjectsKey);
        QJsonObject projects = projectsValue.toObject();
        if (!projectsValue.isObject() || !projects.value(projectID).isObject())
            throw CodexGlobalStateStoreError(ErrorKind::projectNotFound);
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
