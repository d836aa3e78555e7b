#include "app/cards/WeeklyAllowanceLabel.h"

#include <QRegularExpression>

#include <cmath>

namespace tolvaran {

QString allowancePercentText(double percent, const QLocale &locale)
{
    QString text = locale.toString(percent, 'f', 1);
    const QString zeroFraction = locale.decimalPoint() + locale.zeroDigit();
    if (text.endsWith(zeroFraction))
        text.chop(zeroFraction.size());
    return text;
}

QString abbreviatedDateTimeText(const QDateTime &dateTime, const QLocale &locale)
{
    // QLocale has long and short date formats only. The long one without its weekday and
    // with the month's short name is the locale's own order and punctuation for "Mar 5,
    // 2026", which the numeric short format would not give.
    static const QRegularExpression weekday(QStringLiteral("dddd[,.]?\\s*"));
    QString dateFormat = locale.dateFormat(QLocale::LongFormat);
    dateFormat.remove(weekday);
    dateFormat.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
    const QDateTime local = dateTime.toLocalTime();
    return locale.toString(local.date(), dateFormat) + QLatin1Char(' ')
        + locale.toString(local.time(), QLocale::ShortFormat);
}

WeeklyAllowanceLabel weeklyAllowanceLabel(const std::optional<WeeklyAllowanceStatus> &allowance,
                                          const QLocale &locale)
{
    if (!allowance) {
        return {QStringLiteral("WEEK  Waiting for Codex usage"), WeeklyAllowanceTone::waiting,
                QStringLiteral("The weekly allowance appears after Codex records current "
                               "rate-limit status.")};
    }
    const double used = allowance->usedPercent;
    double left = 100.0 - used;
    if (std::isnan(left) || left < 0.0)
        left = 0.0;
    WeeklyAllowanceTone tone = WeeklyAllowanceTone::normal;
    if (used >= WeeklyAllowanceLabel::criticalPercent)
        tone = WeeklyAllowanceTone::critical;
    else if (used >= WeeklyAllowanceLabel::warningPercent)
        tone = WeeklyAllowanceTone::warning;
    return {QStringLiteral("WEEK  ") + allowancePercentText(used, locale)
                + QStringLiteral("% USED \u00b7 ") + allowancePercentText(left, locale)
                + QStringLiteral("% LEFT"),
            tone,
            QStringLiteral("Codex weekly allowance resets ")
                + abbreviatedDateTimeText(allowance->resetsAt.toDateTime(), locale)};
}

} // namespace tolvaran
