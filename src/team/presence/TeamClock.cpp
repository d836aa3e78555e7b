#include "team/presence/TeamClock.h"

#include <QElapsedTimer>
#include <QHash>
#include <QTimer>

namespace tolvaran {

namespace {

class SystemTeamClock final : public TeamClock
{
public:
    SystemTeamClock() { m_elapsed.start(); }

    Duration now() const override { return Duration(m_elapsed.elapsed()); }

    WaitID wait(Duration delay, std::function<void()> fire) override
    {
        const WaitID id = ++m_lastID;
        auto *timer = new QTimer;
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer, &QTimer::timeout, timer,
                         [this, id, timer, fire = std::move(fire)] {
                             m_timers.remove(id);
                             timer->deleteLater();
                             fire();
                         });
        m_timers.insert(id, timer);
        timer->start(delay);
        return id;
    }

    void cancel(WaitID id) override
    {
        if (QTimer *timer = m_timers.take(id)) {
            timer->stop();
            timer->deleteLater();
        }
    }

private:
    QElapsedTimer m_elapsed;
    QHash<WaitID, QTimer *> m_timers;
    WaitID m_lastID = 0;
};

} // namespace

TeamClock &TeamClock::systemClock()
{
    // Lives as long as the program: services of any lifetime may wait on it.
    static SystemTeamClock *clock = new SystemTeamClock;
    return *clock;
}

} // namespace tolvaran
