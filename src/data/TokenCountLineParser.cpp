#include "data/TokenCountLineParser.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace tolvaran::Internal {

namespace {

// A rate-limit window at least this long (in minutes) is the weekly one; the other window
// Codex reports lasts five hours (300 minutes).
constexpr qint64 weeklyWindowMinimumMinutes = 9999;

// A JSON number as a 64-bit integer: integers as they are, other numbers truncated and
// clamped (a double out of range must not be converted unchecked).
std::optional<qint64> integerValue(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const qint64 exact = value.toInteger(std::numeric_limits<qint64>::min());
    if (exact != std::numeric_limits<qint64>::min())
        return exact;
    const double number = value.toDouble();
    if (std::isnan(number))
        return std::nullopt;
    if (number >= 9.2e18)
        return std::numeric_limits<qint64>::max();
    if (number <= -9.2e18)
        return std::numeric_limits<qint64>::min();
    return qint64(number);
}

std::optional<double> doubleValue(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    return value.toDouble();
}

int digits(QByteArrayView text, qsizetype at, int count)
{
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const char c = text[at + i];
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian calendar).
qint64 daysFromCivil(qint64 year, int month, int day)
{
    year -= month <= 2 ? 1 : 0;
    const qint64 era = (year >= 0 ? year : year - 399) / 400;
    const qint64 yearOfEra = year - era * 400;
    const qint64 dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

int daysInMonth(int year, int month)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

} // namespace

std::optional<Timestamp> TokenCountLineParser::parseTimestamp(QByteArrayView text)
{
    // Our own reader of the one format Codex writes: QDateTime's ISO reader is several times
    // slower on this path and accepts forms that are not internet dates.
    if (text.size() < 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T'
        || text[13] != ':' || text[16] != ':')
        return std::nullopt;
    const int year = digits(text, 0, 4);
    const int month = digits(text, 5, 2);
    const int day = digits(text, 8, 2);
    const int hour = digits(text, 11, 2);
    const int minute = digits(text, 14, 2);
    const int second = digits(text, 17, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 || minute < 0
        || minute > 59 || second < 0 || second > 59 || day > daysInMonth(year, month))
        return std::nullopt;

    qsizetype at = 19;
    qint64 milliseconds = 0;
    if (text[at] == '.') {
        ++at;
        const qsizetype fractionStart = at;
        int scale = 100;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            milliseconds += (text[at] - '0') * scale;
            scale /= 10;
            ++at;
        }
        if (at == fractionStart)
            return std::nullopt;
    }

    qint64 offsetSeconds = 0;
    if (at + 1 == text.size() && text[at] == 'Z') {
        offsetSeconds = 0;
    } else if (at + 6 == text.size() && (text[at] == '+' || text[at] == '-')
               && text[at + 3] == ':') {
        const int offsetHours = digits(text, at + 1, 2);
        const int offsetMinutes = digits(text, at + 4, 2);
        if (offsetHours < 0 || offsetHours > 23 || offsetMinutes < 0 || offsetMinutes > 59)
            return std::nullopt;
        offsetSeconds = (offsetHours * 3600 + offsetMinutes * 60) * (text[at] == '-' ? -1 : 1);
    } else {
        return std::nullopt;
    }

    const qint64 seconds =
        daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second
        - offsetSeconds;
    return Timestamp::fromMilliseconds(seconds * 1000 + milliseconds);
}

std::optional<UsageEvent> TokenCountLineParser::parseEvent(QByteArrayView line,
                                                            const QString &projectPath,
                                                            const std::optional<QString> &model)
{
    if (!line.contains(pattern))
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray::fromRawData(line.data(), line.size()));
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject root = document.object();
    if (root.value(QLatin1String("type")).toString() != QLatin1String("event_msg"))
        return std::nullopt;
    const QJsonValue payloadValue = root.value(QLatin1String("payload"));
    if (!payloadValue.isObject())
        return std::nullopt;
    const QJsonObject payload = payloadValue.toObject();
    if (payload.value(QLatin1String("type")).toString() != QLatin1String("token_count"))
        return std::nullopt;
    const QJsonValue info = payload.value(QLatin1String("info"));
    if (!info.isObject())
        return std::nullopt;
    const QJsonValue usageValue = info.toObject().value(QLatin1String("last_token_usage"));
    if (!usageValue.isObject())
        return std::nullopt;
    const QJsonObject usage = usageValue.toObject();
    const QJsonValue timestampValue = root.value(QLatin1String("timestamp"));
    if (!timestampValue.isString())
        return std::nullopt;
    const std::optional<Timestamp> date =
        parseTimestamp(timestampValue.toString().toLatin1());
    if (!date)
        return std::nullopt;
    const std::optional<qint64> total = integerValue(usage.value(QLatin1String("total_tokens")));
    if (!total || *total <= 0)
        return std::nullopt;

    UsageEvent event;
    event.projectPath = projectPath;
    event.date = *date;
    event.input = integerValue(usage.value(QLatin1String("input_tokens"))).value_or(0);
    event.cachedInput =
        integerValue(usage.value(QLatin1String("cached_input_tokens"))).value_or(0);
    event.output = integerValue(usage.value(QLatin1String("output_tokens"))).value_or(0);
    event.total = *total;
    event.model = model;

    const QJsonValue rateLimitsValue = payload.value(QLatin1String("rate_limits"));
    if (rateLimitsValue.isObject()) {
        const QJsonObject rateLimits = rateLimitsValue.toObject();
        // Codex lists the windows as "primary" and "secondary"; which one is weekly shows only
        // in its length.
        for (const QLatin1String name : {QLatin1String("primary"), QLatin1String("secondary")}) {
            const QJsonValue windowValue = rateLimits.value(name);
            if (!windowValue.isObject())
                continue;
            const QJsonObject window = windowValue.toObject();
            const std::optional<qint64> minutes =
                integerValue(window.value(QLatin1String("window_minutes")));
            if (!minutes || *minutes <= weeklyWindowMinimumMinutes)
                continue;
            event.weeklyWindowMinutes = minutes;
            event.weeklyUsedPercent = doubleValue(window.value(QLatin1String("used_percent")));
            if (const auto resetsAt = doubleValue(window.value(QLatin1String("resets_at"))))
                event.weeklyResetsAt = Timestamp::fromSeconds(*resetsAt);
            break;
        }
        const QJsonValue plan = rateLimits.value(QLatin1String("plan_type"));
        if (plan.isString())
            event.planType = plan.toString();
    }
    return event;
}

} // namespace tolvaran::Internal
