#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThreadPool>

#include <functional>
#include <utility>

namespace tolvaran {

// Priorities of background work, as the thread pool orders them.
enum class JobPriority {
    background = 0,     // git status, team scans, work summaries
    utility = 10,       // processing state, token usage, team sources, tag saves
    userInitiated = 20, // a full refresh, placeholders, update preparation
};

// Runs `job` on the global thread pool. The job must catch its own exceptions.
inline void runInBackground(JobPriority priority, std::function<void()> job)
{
    QThreadPool::globalInstance()->start(std::move(job), int(priority));
}

// Runs `function` on the thread of `context` (the GUI thread for model objects), in a later
// turn of its event loop, unless `context` has been destroyed by then.
template <typename Function>
void postTo(QObject *context, Function &&function)
{
    QMetaObject::invokeMethod(context, std::forward<Function>(function), Qt::QueuedConnection);
}

} // namespace tolvaran
