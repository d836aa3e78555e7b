#include "coordinator/CodexChangeMonitor.h"

#include "data/codex/CodexFileLayout.h"
#include "platform/file_events/FileSystemEventMonitor.h"
#include "platform/Paths.h"

#include <QMetaObject>

#include <utility>

namespace tolvaran {

namespace {

// What an event must report to count as a change of a file's contents.
constexpr quint32 contentChangeFlags = FileSystemEventFlag::itemCreated
    | FileSystemEventFlag::itemRemoved | FileSystemEventFlag::itemRenamed
    | FileSystemEventFlag::itemModified;

} // namespace

CodexChangeMonitor::CodexChangeMonitor(QObject *parent, CoordinatorClock clock)
    : QObject(parent)
    , m_clock(std::move(clock))
{
}

CodexChangeMonitor::~CodexChangeMonitor()
{
    m_monitor.reset();
}

void CodexChangeMonitor::watchRolloutsOf(const QList<CodexProject> &projects,
                                         Timestamp activeSince)
{
    QSet<QString> processingIDs;
    for (const CodexProject &project : projects)
        processingIDs.unite(project.processingThreadIDs());
    QSet<QString> rolloutPaths;
    for (const CodexProject &project : projects) {
        for (const CodexThread &thread : project.threads()) {
            if (thread.updatedAt >= activeSince || processingIDs.contains(thread.id))
                rolloutPaths.insert(standardizedPath(thread.rolloutPath));
        }
    }
    m_rolloutPaths = std::move(rolloutPaths);
}

void CodexChangeMonitor::start(const QString &codexFolder)
{
    if (m_monitor)
        return;
    // The handler runs on the monitor's queue and only hands the batch to the GUI thread.
    // The monitor is stopped before this object goes, so the handler never outlives it, and
    // Qt drops a batch still queued when this object is destroyed.
    m_monitor = std::make_unique<FileSystemEventMonitor>(
        label, [this](const QList<FileSystemEvent> &events) {
            QMetaObject::invokeMethod(
                this, [this, events] { handleEvents(events); }, Qt::QueuedConnection);
        });
    m_monitor->start({standardizedPath(codexFolder)}, FileSystemEventMonitor::sinceNow,
                     latency);
}

void CodexChangeMonitor::handleEvents(const QList<FileSystemEvent> &events)
{
    QStringList changed;
    bool missed = false;
    for (const FileSystemEvent &event : events) {
        // Events were lost: Codex's data may have changed in any way.
        if (event.flags & FileSystemEventFlag::rescanRequired) {
            m_pendingFullRefresh = true;
            missed = true;
            continue;
        }
        // A change of attributes alone (owner, mode, times) is no change of Codex's data.
        // Our own reads cause such changes: SQLite, run as root, gives Codex's log file its
        // owner again each time it opens it, and reacting would refresh in a loop.
        if (!(event.flags & contentChangeFlags))
            continue;
        const QString path = standardizedPath(event.path);
        changed.append(event.path);
        if (path != event.path)
            changed.append(path);
        if (CodexFileLayout::asksForFullRefresh(lastPathComponent(path)))
            m_pendingFullRefresh = true;
        else if (m_rolloutPaths.contains(path))
            m_pendingProcessingRefresh = true;
    }
    if (missed)
        Q_EMIT changesMissed();
    if (!changed.isEmpty())
        Q_EMIT filesChanged(changed);
    // While a refresh is pending, every batch (even one of no interest) pushes it back, so a
    // burst of writes costs one refresh after its end.
    if (m_pendingFullRefresh || m_pendingProcessingRefresh) {
        m_clock.runAfter(this, debounce, [this, generation = ++m_debounceGeneration] {
            if (generation == m_debounceGeneration)
                deliverPending();
        });
    }
}

void CodexChangeMonitor::deliverPending()
{
    const bool full = std::exchange(m_pendingFullRefresh, false);
    const bool processing = std::exchange(m_pendingProcessingRefresh, false);
    if (full)
        Q_EMIT fullRefreshRequested();
    else if (processing)
        Q_EMIT processingRefreshRequested();
}

} // namespace tolvaran
