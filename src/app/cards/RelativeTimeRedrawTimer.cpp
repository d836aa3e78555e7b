#include "app/cards/RelativeTimeRedrawTimer.h"

#include "platform/RelativeDateFormatter.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tolvaran {

namespace {

// QTimer takes an int of milliseconds; a text that changes in months waits in steps.
constexpr double longestWaitSeconds = 86400.0;

} // namespace

RelativeTimeRedrawTimer::RelativeTimeRedrawTimer(QObject *parent,
                                                 std::function<Timestamp()> now)
    : QObject(parent)
    , m_now(std::move(now))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::CoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        arm();
        Q_EMIT redrawNeeded();
    });
}

void RelativeTimeRedrawTimer::setShownDates(const QList<Timestamp> &dates)
{
    m_dates = dates;
    arm();
}

void RelativeTimeRedrawTimer::setVisible(bool visible)
{
    if (visible == m_visible)
        return;
    m_visible = visible;
    arm();
    // What was drawn before the window was hidden is out of date by now.
    if (visible)
        Q_EMIT redrawNeeded();
}

void RelativeTimeRedrawTimer::arm()
{
    m_timer.stop();
    if (!m_visible || m_dates.isEmpty())
        return;
    const Timestamp now = m_now();
    double wait = std::numeric_limits<double>::infinity();
    for (const Timestamp &date : m_dates)
        wait = std::min(wait, relativeDateTextChangesIn(date, now));
    if (!std::isfinite(wait))
        return;
    const auto milliseconds = std::chrono::milliseconds(
        qint64(std::ceil(std::min(wait, longestWaitSeconds) * 1000.0)));
    m_timer.start(std::max(milliseconds, minimumInterval));
}

} // namespace tolvaran
