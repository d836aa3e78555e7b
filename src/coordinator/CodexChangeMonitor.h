#pragma once

#include "coordinator/CoordinatorClock.h"
#include "data/catalog/CodexProject.h"
#include "platform/Timestamp.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>

namespace tolvaran {

class CodexChangeMonitorTesting;
class FileSystemEventMonitor;
struct FileSystemEvent;

// The watch over Codex's folder, as the refresh engine uses it: which changes ask for a full
// refresh (Codex's database and global state, see CodexFileLayout) and which for a
// processing refresh (a write to the rollout of a thread active in the last day or at work),
// collected until the writes have paused. GUI thread only.
class CodexChangeMonitor final : public QObject
{
    Q_OBJECT

public:
    // The wait after the last batch of events before the refresh they ask for.
    static constexpr std::chrono::milliseconds debounce{500};
    // How long the file-system monitor collects changes before it delivers them (seconds).
    static constexpr double latency = 0.4;
    static inline const QString label = QStringLiteral("com.ostvik.tolvaran.codex-events");

    // Starts nothing. The debounce runs on `clock`.
    explicit CodexChangeMonitor(QObject *parent = nullptr, CoordinatorClock clock = {});
    // Stops the file-system monitor; nothing is delivered afterwards.
    ~CodexChangeMonitor() override;

    // The rollout files whose writes count: those of the threads of `projects` updated since
    // `activeSince` or processing.
    void watchRolloutsOf(const QList<CodexProject> &projects, Timestamp activeSince);
    // Starts watching `codexFolder`; later calls do nothing.
    void start(const QString &codexFolder);
    bool isStarted() const { return m_monitor != nullptr; }

Q_SIGNALS:
    // Once the writes have paused for `debounce`; a full refresh reads the processing state
    // too, so only one of the two is sent for one pause.
    void fullRefreshRequested();
    void processingRefreshRequested();
    // At once, for every batch: the files whose contents changed (the paths as reported and
    // standardised), and whether events were lost. The token index learns from these which
    // rollouts to look at.
    void filesChanged(const QStringList &paths);
    void changesMissed();

private:
    // Tests hand it batches of events without a file-system monitor.
    friend class CodexChangeMonitorTesting;

    // One batch of the file-system monitor's events.
    void handleEvents(const QList<FileSystemEvent> &events);
    void deliverPending();

    CoordinatorClock m_clock;
    std::unique_ptr<FileSystemEventMonitor> m_monitor;
    QSet<QString> m_rolloutPaths; // standardised
    bool m_pendingFullRefresh = false;
    bool m_pendingProcessingRefresh = false;
    // Each batch that finds a refresh pending starts the debounce again: a wait of an older
    // batch finds this changed and delivers nothing.
    quint64 m_debounceGeneration = 0;
};

} // namespace tolvaran
