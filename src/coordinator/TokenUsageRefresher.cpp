#include "coordinator/TokenUsageRefresher.h"

#include "data/token_usage/TokenUsageStore.h"
#include "platform/Error.h"
#include "platform/FreedMemory.h"
#include "work/WorkGroup.h"

#include <QTimer>

#include <exception>
#include <utility>

namespace tolvaran {

TokenUsageRefresher::TokenUsageRefresher(const TokenUsageStore &store, WorkGroup &work,
                                         std::function<void(const Outcome &)> finished,
                                         std::function<Timestamp()> now, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_work(work)
    , m_finished(std::move(finished))
    , m_now(std::move(now))
    , m_passTimer(new QTimer(this))
{
    m_passTimer->setSingleShot(true);
    m_passTimer->setInterval(passInterval);
    connect(m_passTimer, &QTimer::timeout, this, [this] {
        if (!m_passRunning)
            startPass();
    });
}

void TokenUsageRefresher::request(const QList<CodexThread> &threads)
{
    m_replaced.append(std::exchange(m_threads, threads));
    m_requested = true;
    m_passTimer->stop();
    if (!m_passRunning)
        startPass();
}

void TokenUsageRefresher::startPass()
{
    m_requested = false;
    m_passRunning = true;
    m_work.run<Outcome>(
        JobPriority::utility,
        [store = &m_store, threads = m_threads, now = m_now(),
         replaced = std::exchange(m_replaced, {})](const WorkContext &work) mutable {
            Outcome outcome;
            try {
                outcome.snapshot = store->refresh(threads, now, work.stopToken());
            } catch (const std::exception &error) {
                outcome.error = messageOf(error);
            }
            replaced = {};
            releaseFreedMemory();
            return outcome;
        },
        // The group delivers only while its owner, and so this child of it, lives.
        [this](Outcome outcome) { finishPass(outcome); });
}

void TokenUsageRefresher::finishPass(const Outcome &outcome)
{
    m_passRunning = false;
    m_finished(outcome);
    if (m_requested)
        startPass();
    else if (outcome.snapshot && outcome.snapshot->pendingRolloutCount >= 1)
        m_passTimer->start();
}

} // namespace tolvaran
