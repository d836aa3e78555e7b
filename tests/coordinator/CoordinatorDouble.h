#pragma once

#include "coordinator/CoordinatorAccess.h"
#include "coordinator/CoordinatorClock.h"
#include "support/WaitUntil.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

namespace tolvaran::fixtures {

// The coordinator's published state as plain values, behind a CoordinatorAccess, so that the
// action components run without the coordinator. Records what they published.
class CoordinatorDouble final
{
public:
    CoordinatorAccess access();

    std::optional<QString> statusMessage() const
    {
        return statusMessages.isEmpty() ? std::nullopt
                                        : std::optional<QString>(statusMessages.last());
    }

    QObject context;
    // After the context: destroyed first, so that no job delivers to a destroyed context.
    WorkGroup work{&context};
    QList<CodexProject> projects;
    ProjectTagSnapshot tagState;
    std::optional<QString> tagErrorMessage;
    std::optional<QUuid> selectedTagID;
    // Runs at each refresh, before its completion (a test's stand-in for reading Codex).
    std::function<void()> onRefresh;

    QStringList statusMessages; // every one set, in order
    int refreshCount = 0;
    int projectPublications = 0;
};

// A clock that stands still until the test moves it.
class FakeClock final
{
public:
    CoordinatorClock clock();
    // Moves time on and runs what has become due, in order.
    void advance(std::chrono::milliseconds delta);
    int pendingCount() const { return int(m_pending.size()); }

    Timestamp now = Timestamp::fromSeconds(1'750'000'000.0);

private:
    struct Pending
    {
        Timestamp due;
        QPointer<QObject> context;
        std::function<void()> function;
    };
    QList<Pending> m_pending;
};

} // namespace tolvaran::fixtures
