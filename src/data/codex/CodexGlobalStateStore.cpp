#include "data/codex/CodexGlobalStateStore.h"

#include "platform/storage/AtomicRename.h"
#include "work/FileDescriptor.h"
#include "platform/storage/LockedTemporaryFile.h"
#include "platform/Graphemes.h"
#include "platform/Paths.h"
#include "platform/storage/RegularFileRead.h"
#include "platform/Timestamp.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <thread>

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

// How many versions of Codex found displaced by our replacement one change puts back before
// it counts them as attempts, and how many exchanges one putting back makes at most (each
// needs Codex to rename a version over the file in a gap of microseconds).
constexpr int maximumPutBacks = 8;

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
// reads around the replacement as a failed update. `keepOpen` receives the file read.
std::optional<QByteArray> readFile(const QString &path, ErrorKind failure,
                                   FileDescriptor *keepOpen = nullptr)
{
    RegularFileRead read =
        readRegularFile(path, CodexGlobalStateStore::maximumFileBytes, keepOpen);
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

// Our temporary files beside the target: its name, this infix, then this many letters and
// digits drawn at random (as mkostemp(3) draws them, so that the leftovers of versions that
// used it are recognised too).
const QLatin1String temporaryInfix(".tolvaran-");
constexpr qsizetype temporaryNameCharacters = 6;
const QLatin1String temporaryNameAlphabet(
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789");

QString drawTemporaryPath(const QString &target)
{
    QString path = target + temporaryInfix;
    for (qsizetype i = 0; i < temporaryNameCharacters; ++i) {
        path += temporaryNameAlphabet.at(
            QRandomGenerator::global()->bounded(int(temporaryNameAlphabet.size())));
    }
    return path;
}

bool isTemporaryName(const QString &entry, const QString &targetName)
{
    const QString prefix = targetName + temporaryInfix;
    return entry.size() == prefix.size() + temporaryNameCharacters && entry.startsWith(prefix)
           && std::all_of(entry.cbegin() + prefix.size(), entry.cend(), [](QChar c) {
                  return temporaryNameAlphabet.contains(c);
              });
}

// Removes the temporary files that writers killed in the middle of a change left beside
// `target`: Codex's folder is not ours to litter. Those of changes still going on stay.
void removeStaleTemporaryFiles(const QString &target)
{
    const QFileInfo info(target);
    LockedTemporaryFile::removeStale(info.absolutePath(),
                                     [name = info.fileName()](const QString &entry) {
                                         return isTemporaryName(entry, name);
                                     });
}

// A temporary file beside `target`, holding `contents` with `mode`, synced to disk.
LockedTemporaryFile writeTemporaryFile(const QString &target, const QByteArray &contents,
                                       mode_t mode)
{
    std::optional<LockedTemporaryFile> file = LockedTemporaryFile::create(
        [&target] { return drawTemporaryPath(target); }, mode);
    if (!file) {
        throw CodexGlobalStateStoreError(
            ErrorKind::writeFailed,
            QStringLiteral("Could not create a temporary file beside %1.").arg(target));
    }
    if (!file->writeAndSync(contents)) {
        ::unlink(QFile::encodeName(file->path()).constData());
        throw CodexGlobalStateStoreError(ErrorKind::writeFailed,
                                         QStringLiteral("Could not write %1.").arg(file->path()));
    }
    return std::move(*file);
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

// Which file a name or descriptor stands for: two names stand for one file exactly when both
// give the same identity, as long as one of them is held open.
struct FileIdentity
{
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity &) const = default;
};

std::optional<FileIdentity> identityOf(int descriptor)
{
    struct stat status {};
    if (::fstat(descriptor, &status) != 0)
        return std::nullopt;
    return FileIdentity{status.st_dev, status.st_ino};
}

// What the name itself holds; a link is not followed.
std::optional<FileIdentity> identityAt(const QByteArray &path)
{
    struct stat status {};
    if (::lstat(path.constData(), &status) != 0)
        return std::nullopt;
    return FileIdentity{status.st_dev, status.st_ino};
}

// Our exchange put `ours` in place of a version of Codex's that the attempt never compared,
// which now lies at `temporary` (`displaced`). Exchanges it back at once; when what comes back
// is not ours, Codex renamed a newer version over the file between the two exchanges, and that
// one goes back in turn, until an exchange hands back what the one before it put in place.
// What is left at `temporary` is never Codex's newest version.
void putBackDisplaced(const QByteArray &temporary, const QByteArray &target, FileIdentity ours,
                     FileIdentity displaced,
                     const std::function<void(CodexGlobalStateWriteMoment)> &duringWrite)
{
    FileIdentity placed = ours;
    FileIdentity held = displaced;
    for (int exchange = 0; exchange < maximumPutBacks; ++exchange) {
        if (duringWrite)
            duringWrite(CodexGlobalStateWriteMoment::beforePuttingBack);
        if (atomicRename(temporary.constData(), target.constData(), AtomicRenameMode::exchange)
            != 0) {
            return;
        }
        const std::optional<FileIdentity> back = identityAt(temporary);
        if (!back || *back == placed)
            return;
        placed = held;
        held = *back;
    }
}

} // namespace

CodexGlobalStateStore::CodexGlobalStateStore(QString statePath,
                                             std::function<void(WriteMoment)> duringWrite)
    : m_statePath(std::move(statePath))
    , m_duringWrite(std::move(duringWrite))
{
}

// Read, edit, write back unless the file changed meanwhile; at most maximumUpdateAttempts
// times. Codex rewrites the file whenever it likes, so the window in which one of its writes
// could be lost is kept as small as the file system allows and what is left is checked:
// - everything is prepared first (the new contents in a durable temporary file beside the
//   target), then the file is compared with what the attempt read and swapped with ours
//   straight after;
// - the swap is an exchange (renameat2 RENAME_EXCHANGE), so the file we displaced is still
//   there to look at: when it is not the file the attempt compared, Codex renamed a version
//   over it in the gap, and that version goes back in place of ours at once, before the next
//   attempt edits it. File systems without the exchange get a plain rename, whose gap is only
//   narrowed;
// - afterwards the file must be ours; a later write by Codex (which may not hold our change)
//   makes the next attempt edit its version.
// What remains: between our exchange and the putting back (one lstat apart), a file without
// Codex's newest version is in place, and a Codex that reads it then and builds its next write
// on it loses that version. No system call compares and replaces a path in one step, and a
// thread can be preempted between any two calls for as long as the machine is busy, so this
// gap can be kept to one call but not closed. (Sweeps of temporary files are held off in this
// process meanwhile; one by another running copy of the program in that same gap could take
// the displaced version.)
// A read that is not JSON while the file keeps changing (Codex writing it in place) counts as
// a changed file; the same bytes twice in a row are a broken file.
template <typename Result, typename Edit>
Result CodexGlobalStateStore::updateState(Edit &&edit) const
{
    int putBacks = 0;
    bool sweptStale = false;
    std::optional<QByteArray> lastUnparsable;
    QString parseError;
    for (int attempt = 0; attempt < maximumUpdateAttempts; ++attempt) {
        const std::optional<QByteArray> base = readFile(m_statePath, ErrorKind::readFailed);
        QJsonObject state;
        if (base) {
            std::optional<QJsonObject> parsed = parsedState(*base, parseError);
            if (!parsed) {
                if (lastUnparsable == base)
                    throw CodexGlobalStateStoreError(ErrorKind::readFailed, parseError);
                lastUnparsable = base;
                std::this_thread::sleep_for(tornReadPause);
                if (m_duringWrite)
                    m_duringWrite(WriteMoment::beforeRereading);
                continue;
            }
            state = std::move(*parsed);
        }

        EditOutcome<Result> outcome = edit(state);
        if (!outcome.changed)
            return outcome.result;
        // QJsonObject keeps its keys sorted, so the compact form has sorted keys at every level.
        const QByteArray contents = QJsonDocument(state).toJson(QJsonDocument::Compact);

        const QString target = writeTarget(m_statePath);
        const QByteArray nativeTarget = QFile::encodeName(target);
        struct stat existing {};
        const mode_t mode = ::stat(nativeTarget.constData(), &existing) == 0
            ? (existing.st_mode & 07777)
            : newFileMode;
        if (!sweptStale) {
            removeStaleTemporaryFiles(target);
            sweptStale = true;
        }
        const LockedTemporaryFile written = writeTemporaryFile(target, contents, mode);
        const QString temporary = written.path();
        const QByteArray nativeTemporary = QFile::encodeName(temporary);
        const auto removeTemporary = [&nativeTemporary] { ::unlink(nativeTemporary.constData()); };

        if (m_duringWrite)
            m_duringWrite(WriteMoment::beforeFinalCompare);
        // After the exchange our temporary file's name holds what it displaced, unlocked.
        const std::unique_lock noSweeps = LockedTemporaryFile::holdOffSweeps();
        FileDescriptor compared; // held until the exchange is judged
        std::optional<QByteArray> current;
        try {
            current = readFile(m_statePath, ErrorKind::writeFailed, &compared);
        } catch (...) {
            removeTemporary();
            throw;
        }
        if (current != base) {
            removeTemporary();
            continue;
        }
        const std::optional<FileIdentity> comparedIdentity = identityOf(compared.get());
        const std::optional<FileIdentity> ourIdentity = identityOf(written.descriptor());
        if (m_duringWrite)
            m_duringWrite(WriteMoment::beforeReplacing);
        // No file yet: ours goes in only if Codex has not made one in the gap.
        int error = atomicRename(nativeTemporary.constData(), nativeTarget.constData(),
                                 base ? AtomicRenameMode::exchange : AtomicRenameMode::noReplace);
        const bool exchanged = error == 0 && base;
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
        if (exchanged) {
            // The one call between the exchange and a putting back: keep it so.
            const std::optional<FileIdentity> displaced = identityAt(nativeTemporary);
            bool displacedCompared = displaced && displaced == comparedIdentity;
            if (displacedCompared) {
                // The same file, unless Codex wrote into it in place since the comparison.
                const RegularFileRead read = readRegularFile(temporary, maximumFileBytes);
                displacedCompared = !read.isRead() || read.contents == *base;
            }
            if (!displacedCompared && displaced && ourIdentity) {
                putBackDisplaced(nativeTemporary, nativeTarget, *ourIdentity, *displaced,
                                 m_duringWrite);
                removeTemporary();
                // Putting back is not a new attempt: Codex wrote once, in a gap of
                // microseconds, and is not known to keep rewriting the file.
                if (++putBacks <= maximumPutBacks)
                    --attempt;
                continue;
            }
            removeTemporary();
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
