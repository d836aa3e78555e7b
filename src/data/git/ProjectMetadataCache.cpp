#include "data/git/ProjectMetadataCache.h"

#include "data/DataLogging.h"
#include "platform/storage/AtomicFileWriter.h"
#include "platform/JsonCoding.h"
#include "platform/storage/RegularFileRead.h"
#include "work/SerialQueue.h"

#include <QFile>
#include <QJsonDocument>

namespace tolvaran {

namespace {

ProjectMetadataCacheSnapshot loadSnapshot(const QString &filePath)
{
    if (filePath.isEmpty())
        return ProjectMetadataCacheSnapshot::empty();
    const RegularFileRead read =
        readRegularFile(filePath, ProjectMetadataCache::maximumFileBytes);
    if (!read.isRead()) {
        if (read.status != RegularFileRead::Status::missing)
            qCWarning(lcData).noquote() << read.failure;
        return ProjectMetadataCacheSnapshot::empty();
    }
    const QJsonDocument document = QJsonDocument::fromJson(read.contents);
    if (!document.isObject())
        return ProjectMetadataCacheSnapshot::empty();
    try {
        return ProjectMetadataCacheSnapshot::fromJson(document.object());
    } catch (const JsonDecodingError &) {
        // One bad entry discards the whole file: the coordinator then indexes every
        // repository again, which rebuilds it.
        return ProjectMetadataCacheSnapshot::empty();
    }
}

} // namespace

ProjectMetadataCache::ProjectMetadataCache(const QString &applicationSupportDirectory)
    : m_directory(applicationSupportDirectory)
    , m_filePath(applicationSupportDirectory.isEmpty()
                     ? QString()
                     : applicationSupportDirectory + QLatin1Char('/')
                           + QLatin1String(fileName))
    , m_snapshot(loadSnapshot(m_filePath))
{
}

ProjectMetadataCache::~ProjectMetadataCache()
{
    {
        std::lock_guard lock(m_writeMutex);
        m_closing = true;
    }
    m_writeWake.notify_all();
    // Joins the queue's thread; a write still waiting gives up at once.
    m_queue.reset();
}

ProjectMetadataCacheSnapshot ProjectMetadataCache::currentSnapshot() const
{
    std::lock_guard lock(m_snapshotMutex);
    return m_snapshot;
}

QHash<QString, ProjectGitStatus> ProjectMetadataCache::gitStatuses() const
{
    std::lock_guard lock(m_snapshotMutex);
    return m_snapshot.gitStatuses;
}

QHash<QString, LocalTeamProjectState> ProjectMetadataCache::teamStates() const
{
    std::lock_guard lock(m_snapshotMutex);
    return m_snapshot.teamStates;
}

void ProjectMetadataCache::setGitStatus(const std::optional<ProjectGitStatus> &status,
                                        const QString &path)
{
    {
        std::lock_guard lock(m_snapshotMutex);
        if (status)
            m_snapshot.gitStatuses.insert(path, *status);
        else
            m_snapshot.gitStatuses.remove(path);
    }
    scheduleWrite();
}

void ProjectMetadataCache::setLastRepositoryEventID(quint64 eventID)
{
    {
        std::lock_guard lock(m_snapshotMutex);
        m_snapshot.lastRepositoryEventID = eventID;
    }
    scheduleWrite();
}

void ProjectMetadataCache::markInitialIndexCompleted()
{
    {
        std::lock_guard lock(m_snapshotMutex);
        m_snapshot.hasCompletedInitialIndex = true;
    }
    scheduleWrite();
}

void ProjectMetadataCache::setTeamStates(const QHash<QString, LocalTeamProjectState> &states)
{
    {
        std::lock_guard lock(m_snapshotMutex);
        m_snapshot.teamStates = states;
    }
    scheduleWrite();
}

void ProjectMetadataCache::scheduleWrite()
{
    std::lock_guard lock(m_writeMutex);
    if (m_closing)
        return;
    const bool alreadyPending = m_writeDue.has_value();
    // Moving the time later needs no wake-up: the waiting job looks again when it wakes.
    m_writeDue = std::chrono::steady_clock::now() + writeDelay;
    if (alreadyPending)
        return;
    if (!m_queue)
        m_queue = std::make_unique<SerialQueue>(QLatin1String(queueLabel));
    m_queue->async([this] { writeWhenDue(); });
}

void ProjectMetadataCache::writeWhenDue()
{
    {
        std::unique_lock lock(m_writeMutex);
        for (;;) {
            if (m_closing)
                return;
            const auto due = *m_writeDue;
            if (std::chrono::steady_clock::now() >= due)
                break;
            m_writeWake.wait_until(lock, due);
        }
        // From here a change schedules a new write, which runs after this one.
        m_writeDue.reset();
    }
    writeNow();
}

void ProjectMetadataCache::writeNow()
{
    if (m_filePath.isEmpty())
        return;
    const ProjectMetadataCacheSnapshot snapshot = currentSnapshot();
    if (!ensureApplicationSupportDirectory(m_directory))
        return;
    const QByteArray contents = QJsonDocument(snapshot.toJson()).toJson(QJsonDocument::Compact);
    // A failed write keeps the old file; the next change schedules another attempt.
    AtomicFileWriter::write(m_filePath, contents);
}

} // namespace tolvaran
