#include "data/TokenUsageAggregator.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace tolvaran::Internal {

namespace {

// Beyond this many seconds from 1970 (about 300,000 years) a date is not given to the
// calendar: it cannot be a real usage time, and the calendar's integers would overflow.
constexpr double calendarLimitSeconds = 1e13;
// Enough clock hours for a day of 25 hours, the hour after `now`, and room to spare.
constexpr size_t maximumHourBoundaries = 40;

void addSaturating(qint64 &sum, qint64 value)
{
    if (__builtin_add_overflow(sum, value, &sum))
        sum = value > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
}

struct Bucket
{
    qint64 tokens = 0;
    double cost = 0.0;
    bool used = false;

    void add(qint64 total, double eventCost)
    {
        addSaturating(tokens, total);
        cost += eventCost;
        used = true;
    }
};

// Where one event counts; worked out once per event and applied to the global report and to
// its project's report.
struct Placement
{
    bool lastHour = false;
    bool today = false;
    bool sevenDays = false;
    bool weeklyWindow = false;
    int hour = -1;           // index into the hour boundaries, -1 when not in the series
    double laterHour = -1.0; // start of an hour past the boundaries, when >= 0
    int day = -1;
    double laterDay = -1.0;
    bool inLaterHour = false;
    bool inLaterDay = false;
};

class ReportAccumulator
{
public:
    void add(qint64 input, qint64 cachedInput, qint64 output, qint64 total, double cost,
             const Placement &placement, size_t hourCount, size_t dayCount)
    {
        m_hasEvents = true;
        addSaturating(m_report.inputTokens, input);
        addSaturating(m_report.cachedInputTokens, cachedInput);
        addSaturating(m_report.outputTokens, output);
        addSaturating(m_report.indexedTokens, total);
        m_report.estimatedCost += cost;
        if (placement.lastHour)
            addSaturating(m_report.lastHourTokens, total);
        if (placement.today)
            addSaturating(m_report.todayTokens, total);
        if (placement.sevenDays)
            addSaturating(m_report.lastSevenDaysTokens, total);
        if (placement.weeklyWindow)
            addSaturating(m_report.weeklyWindowTokens, total);
        if (placement.hour >= 0) {
            m_hours.resize(hourCount);
            m_hours[size_t(placement.hour)].add(total, cost);
        } else if (placement.inLaterHour) {
            m_laterHours[placement.laterHour].add(total, cost);
        }
        if (placement.day >= 0) {
            m_days.resize(dayCount);
            m_days[size_t(placement.day)].add(total, cost);
        } else if (placement.inLaterDay) {
            m_laterDays[placement.laterDay].add(total, cost);
        }
    }

    bool hasEvents() const { return m_hasEvents; }

    TokenUsageReport report(qint64 lifetimeTokens, const std::vector<double> &hourStarts,
                            const std::vector<double> &dayStarts) const
    {
        TokenUsageReport report = m_report;
        report.lifetimeTokens = lifetimeTokens;
        report.hourly = series(m_hours, hourStarts, m_laterHours);
        report.daily = series(m_days, dayStarts, m_laterDays);
        return report;
    }

private:
    // The used buckets in ascending order: those past the boundaries come after the others.
    static QList<TokenUsagePoint> series(const std::vector<Bucket> &buckets,
                                         const std::vector<double> &starts,
                                         const std::map<double, Bucket> &later)
    {
        QList<TokenUsagePoint> points;
        for (size_t i = 0; i < buckets.size(); ++i) {
            if (buckets[i].used)
                points.append({Timestamp::fromSeconds(starts[i]), buckets[i].tokens,
                               buckets[i].cost});
        }
        for (const auto &[start, bucket] : later)
            points.append({Timestamp::fromSeconds(start), bucket.tokens, bucket.cost});
        return points;
    }

    TokenUsageReport m_report;
    bool m_hasEvents = false;
    std::vector<Bucket> m_hours;
    std::vector<Bucket> m_days;
    std::map<double, Bucket> m_laterHours;
    std::map<double, Bucket> m_laterDays;
};

// The bucket of `value` among ascending `starts`: the last start not after it, when it lies
// before the last start; -1 otherwise.
int bucketIndex(const std::vector<double> &starts, double value)
{
    if (starts.size() < 2 || value < starts.front() || value >= starts.back())
        return -1;
    const auto after = std::upper_bound(starts.begin(), starts.end(), value);
    return int(after - starts.begin()) - 1;
}

} // namespace

int TokenUsageAggregator::Interner::intern(QByteArrayView utf8)
{
    const std::string_view bytes(utf8.data(), size_t(utf8.size()));
    if (m_lastIndex != noText && bytes == m_lastBytes)
        return m_lastIndex;
    auto found = m_indexes.find(bytes);
    if (found == m_indexes.end()) {
        found = m_indexes.emplace(std::string(bytes), int(m_texts.size())).first;
        m_texts.push_back(QString::fromUtf8(utf8));
    }
    m_lastBytes.assign(bytes);
    m_lastIndex = found->second;
    return m_lastIndex;
}

TokenUsageAggregator::TokenUsageAggregator(const QTimeZone &timeZone, Timestamp now)
    : m_timeZone(timeZone.isValid() ? timeZone : QTimeZone::utc())
    , m_now(now.seconds)
{
    // The calendar is asked only here: every later event falls between these boundaries or,
    // rarely (a date in the future), is placed by asking again.
    m_hourStarts.push_back(hourStart(m_now - hourlySeriesSeconds));
    while (m_hourStarts.back() <= m_now + lastHourSeconds
           && m_hourStarts.size() < maximumHourBoundaries) {
        const double previous = m_hourStarts.back();
        m_hourStarts.push_back(std::max(hourStart(previous + 3600.0), previous + 1.0));
    }

    const double nowSeconds = std::clamp(m_now, -calendarLimitSeconds, calendarLimitSeconds);
    const QDate today =
        QDateTime::fromSecsSinceEpoch(qint64(std::floor(nowSeconds)), m_timeZone).date();
    for (int day = 1 - dailySeriesDays; day <= 1; ++day) {
        const QDateTime start = today.addDays(day).startOfDay(m_timeZone);
        m_dayStarts.push_back(double(start.toSecsSinceEpoch()));
    }
}

double TokenUsageAggregator::hourStart(double seconds) const
{
    if (!(std::abs(seconds) < calendarLimitSeconds))
        return seconds;
    // A clock hour starts where the local time's minutes and seconds are zero. Offsets from
    // UTC are whole seconds, so whole seconds are exact here, also in zones whose offset is
    // not a whole number of hours.
    const qint64 whole = qint64(std::floor(seconds));
    const qint64 offset =
        m_timeZone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(whole, Qt::UTC));
    qint64 intoHour = (whole + offset) % 3600;
    if (intoHour < 0)
        intoHour += 3600;
    return double(whole - intoHour);
}

double TokenUsageAggregator::dayStart(double seconds) const
{
    if (!(std::abs(seconds) < calendarLimitSeconds))
        return seconds;
    const QDate date =
        QDateTime::fromSecsSinceEpoch(qint64(std::floor(seconds)), m_timeZone).date();
    return double(date.startOfDay(m_timeZone).toSecsSinceEpoch());
}

int TokenUsageAggregator::internModel(QByteArrayView utf8)
{
    const int index = m_models.intern(utf8);
    if (size_t(index) == m_modelRates.size())
        m_modelRates.push_back(TokenPriceTable::rates(m_models.text(index)));
    return index;
}

void TokenUsageAggregator::add(const Row &row)
{
    m_events.push_back({row.date.seconds, row.input, row.cachedInput, row.output, row.total,
                        row.project, row.model});
    // The weekly window is the one of the latest event whose window is weekly and still runs;
    // of events with equal dates the one added first stays.
    if (row.weeklyResetsAt && row.weeklyResetsAt->seconds > m_now && row.weeklyWindowMinutes
        && *row.weeklyWindowMinutes > weeklyWindowMinimumMinutes
        && (!m_weekly || row.date > m_weekly->date)) {
        m_weekly = WeeklyCandidate{row.date, row.weeklyUsedPercent, row.weeklyWindowMinutes,
                                   row.weeklyResetsAt, row.planType};
    }
}

void TokenUsageAggregator::add(const UsageEvent &event)
{
    const QByteArray project = event.projectPath.toUtf8();
    Row row;
    row.project = internProject(project);
    row.date = event.date;
    row.input = event.input;
    row.cachedInput = event.cachedInput;
    row.output = event.output;
    row.total = event.total;
    if (event.model)
        row.model = internModel(event.model->toUtf8());
    row.weeklyUsedPercent = event.weeklyUsedPercent;
    row.weeklyWindowMinutes = event.weeklyWindowMinutes;
    row.weeklyResetsAt = event.weeklyResetsAt;
    if (event.planType)
        row.planType = internPlanType(event.planType->toUtf8());
    add(row);
}

TokenUsageSnapshot TokenUsageAggregator::snapshot(const QList<CodexThread> &threads,
                                                  qint64 pendingRolloutCount) const
{
    TokenUsageSnapshot snapshot;
    snapshot.indexedAt = Timestamp::fromSeconds(m_now);
    snapshot.pendingRolloutCount = pendingRolloutCount;

    // Only the latest candidate decides; when it lacks a value, no older one is tried.
    if (m_weekly && m_weekly->usedPercent && m_weekly->resetsAt && m_weekly->windowMinutes) {
        WeeklyAllowanceStatus allowance;
        allowance.usedPercent = *m_weekly->usedPercent;
        allowance.resetsAt = *m_weekly->resetsAt;
        allowance.windowStart =
            m_weekly->resetsAt->addingSeconds(-double(*m_weekly->windowMinutes) * 60.0);
        if (m_weekly->planType != noText)
            allowance.planType = m_planTypes.text(m_weekly->planType);
        snapshot.weeklyAllowance = allowance;
    }
    const double weeklyStart = snapshot.weeklyAllowance
        ? snapshot.weeklyAllowance->windowStart.seconds
        : m_now - fallbackWeeklyWindowSeconds;

    const double lastHourStart = m_now - lastHourSeconds;
    const double todayStart = m_dayStarts[size_t(dailySeriesDays - 1)];
    const double sevenDaysStart = m_dayStarts[size_t(dailySeriesDays - sevenDayWindowDays)];
    const double hourSeriesStart = m_now - hourlySeriesSeconds;
    const double daySeriesStart = m_dayStarts.front();
    // Events before all of these count only in the sums; most of a long history does.
    const double windowsStart = std::min(
        {lastHourStart, sevenDaysStart, hourSeriesStart, daySeriesStart, weeklyStart});

    ReportAccumulator global;
    std::vector<ReportAccumulator> projects(size_t(m_projects.count()));
    const size_t hourCount = m_hourStarts.size();
    const size_t dayCount = m_dayStarts.size();
    for (const CompactEvent &event : m_events) {
        double cost = 0.0;
        if (event.model != noText) {
            if (const auto &rates = m_modelRates[size_t(event.model)])
                cost = TokenPriceTable::cost(*rates, event.input, event.cachedInput,
                                             event.output);
        }
        Placement placement;
        const double date = event.date;
        if (date >= windowsStart) {
            placement.lastHour = date >= lastHourStart;
            placement.today = date >= todayStart;
            placement.sevenDays = date >= sevenDaysStart;
            placement.weeklyWindow = date >= weeklyStart && date <= m_now;
            if (date >= hourSeriesStart) {
                placement.hour = bucketIndex(m_hourStarts, date);
                if (placement.hour < 0) {
                    placement.inLaterHour = true;
                    placement.laterHour = hourStart(date);
                }
            }
            if (date >= daySeriesStart) {
                placement.day = bucketIndex(m_dayStarts, date);
                if (placement.day < 0) {
                    placement.inLaterDay = true;
                    placement.laterDay = dayStart(date);
                }
            }
        }
        global.add(event.input, event.cachedInput, event.output, event.total, cost, placement,
                   hourCount, dayCount);
        projects[size_t(event.project)].add(event.input, event.cachedInput, event.output,
                                            event.total, cost, placement, hourCount, dayCount);
    }

    QHash<QString, qint64> lifetimeByFolder;
    qint64 globalLifetime = 0;
    for (const CodexThread &thread : threads) {
        addSaturating(lifetimeByFolder[thread.cwd], thread.tokensUsed);
        addSaturating(globalLifetime, thread.tokensUsed);
    }
    for (auto it = lifetimeByFolder.cbegin(); it != lifetimeByFolder.cend(); ++it) {
        TokenUsageReport report;
        report.lifetimeTokens = it.value();
        snapshot.projects.insert(it.key(), report);
    }
    for (int index = 0; index < m_projects.count(); ++index) {
        const ReportAccumulator &accumulator = projects[size_t(index)];
        if (!accumulator.hasEvents())
            continue;
        const QString &path = m_projects.text(index);
        snapshot.projects.insert(path, accumulator.report(lifetimeByFolder.value(path),
                                                          m_hourStarts, m_dayStarts));
    }
    snapshot.global = global.report(globalLifetime, m_hourStarts, m_dayStarts);
    return snapshot;
}

} // namespace tolvaran::Internal
