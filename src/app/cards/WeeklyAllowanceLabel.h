#pragma once

#include "data/token_usage/WeeklyAllowanceStatus.h"

#include <QLocale>
#include <QString>

#include <optional>

namespace tolvaran {

// How prominent the week label is: secondary while no allowance is known, the accent colour
// while the allowance is comfortable, then orange and red as it runs out.
enum class WeeklyAllowanceTone { waiting, normal, warning, critical };

// The week label of the usage strip: its text, colour and tooltip.
struct WeeklyAllowanceLabel
{
    // Used shares at or above these percentages warn (orange) and alarm (red). The colour
    // follows the unrounded share, so 59.96 reads "60" and still has the normal colour.
    static constexpr double warningPercent = 60.0;
    static constexpr double criticalPercent = 80.0;

    QString text;
    WeeklyAllowanceTone tone = WeeklyAllowanceTone::waiting;
    QString toolTip;

    friend bool operator==(const WeeklyAllowanceLabel &, const WeeklyAllowanceLabel &) =
        default;
};

// "WEEK  42% USED · 58% LEFT" for a known allowance (the left share never below 0), else the
// waiting text. Figures in `locale`, with at most one fraction digit.
WeeklyAllowanceLabel weeklyAllowanceLabel(const std::optional<WeeklyAllowanceStatus> &allowance,
                                          const QLocale &locale = QLocale());

// A percentage figure with 0 or 1 fraction digits: 42, 42.5, 60 (for 59.96).
QString allowancePercentText(double percent, const QLocale &locale = QLocale());

// A point in time as a short date with the month's abbreviated name and a short time, in the
// local time zone: "Mar 5, 2026 3:00 PM" in an American locale.
QString abbreviatedDateTimeText(const QDateTime &dateTime, const QLocale &locale = QLocale());

} // namespace tolvaran
