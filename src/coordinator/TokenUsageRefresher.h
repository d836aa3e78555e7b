#pragma once

#include "data/codex/CodexThread.h"
#include "data/token_usage/TokenUsageSnapshot.h"

#include <QList>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

class QTimer;

namespace tolvaran {

class TokenUsageStore;
class WorkGroup;

// The token-usage index passes of the project list. Never two passes at once (they would wait
// on each other's index transaction and fail): a request during a pass asks for one more,
// with the newest threads, right after it; while rollouts remain unindexed, passes follow
// each other `passInterval` apart. Each pass runs in the owner's work group and stops when
// the group asks. GUI thread only.
class TokenUsageRefresher final : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds passInterval{2000};

    // What one pass ended with: the snapshot, or the failure's sentence.
    struct Outcome
    {
        std::optional<TokenUsageSnapshot> snapshot;
        QString error;
    };

    // `finished` runs on the GUI thread after every pass, before the next is scheduled. The
    // store and the work group must outlive the refresher.
    // `now` is the clock each pass reads.
    TokenUsageRefresher(const TokenUsageStore &store, WorkGroup &work,
                        std::function<void(const Outcome &outcome)> finished,
                        std::function<Timestamp()> now, QObject *parent = nullptr);

    // Indexes the rollouts of `threads` (all of Codex's, archived ones included).
    void request(const QList<CodexThread> &threads);
    bool isPassRunning() const { return m_passRunning; }

private:
    void startPass();
    void finishPass(const Outcome &outcome);

    const TokenUsageStore &m_store;
    WorkGroup &m_work;
    const std::function<void(const Outcome &)> m_finished;
    const std::function<Timestamp()> m_now;
    QList<CodexThread> m_threads;
    // Lists replaced since the last pass started, let go by that pass's job: tens of
    // thousands of strings are freed on a worker thread rather than in a full refresh's
    // turn of the event loop.
    QList<QList<CodexThread>> m_replaced;
    bool m_passRunning = false;
    bool m_requested = false;
    QTimer *m_passTimer;
};

} // namespace tolvaran
