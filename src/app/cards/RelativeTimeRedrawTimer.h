#pragma once

#include "platform/Timestamp.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

namespace tolvaran {

// Says when the relative times a window shows ("Refreshed 5 sec. ago", "2 min. ago") must be
// drawn again: when the first of their texts changes, so every second while one counts
// seconds, every minute while the youngest counts minutes. Runs no timer while the window is
// hidden; shown again, it asks for a redraw at once.
class RelativeTimeRedrawTimer final : public QObject
{
    Q_OBJECT

public:
    // A redraw is never asked for sooner than this after the last one.
    static constexpr std::chrono::milliseconds minimumInterval{200};

    explicit RelativeTimeRedrawTimer(QObject *parent = nullptr,
                                     std::function<Timestamp()> now = &Timestamp::now);

    // The points in time shown as relative times right now (after each render).
    void setShownDates(const QList<Timestamp> &dates);
    // Whether the window is shown; nothing runs while it is not.
    void setVisible(bool visible);

    bool isRunning() const { return m_timer.isActive(); }
    std::chrono::milliseconds interval() const { return m_timer.intervalAsDuration(); }

Q_SIGNALS:
    void redrawNeeded();

private:
    void arm();

    std::function<Timestamp()> m_now;
    QList<Timestamp> m_dates;
    bool m_visible = false;
    QTimer m_timer;
};

} // namespace tolvaran
