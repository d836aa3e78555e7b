#include "data/TokenUsageAggregator.h"

#include "platform/Paths.h"
#include "platform/SaturatingAdd.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

namespace tolvaran::Internal {

namespace {

// Beyond this many seconds from 1970 (about 300,000 years) a date is not given to the
// calendar: it cannot be a real usage time, and the calendar's integers would overflow.
constexpr double calendarLimitSeconds = 1e13;
// How long after a sliding window's first instant an event dated then has left it.
constexpr double windowEdgeMargin = 0.001; // seconds
// Enough clock hours for a day of 25 hours, the hour after `now`, and room to spare.
constexpr size_t maximumHourBoundaries = 40;

void addSaturating(qint64 &sum, qint64 value)
{
    sum = saturatingAdd(sum, value);
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
    int hour = -1; // index into the hour boundaries; -1: not in the series, or past them
    int day = -1;
    std::optional<double> laterHour; // start of an hour past the boundaries
    std::optional<double> laterDay;
};

// The sums over all of a scope's events, kept apart from the windows and series: those are
// placed event by event and kept between snapshots, the sums are added up for each snapshot.
struct ScopeSums
{
    qint64 input = 0;
    qint64 cachedInput = 0;
    qint64 output = 0;
    qint64 total = 0;
    double cost = 0.0;
    bool hasEvents = false;

    void add(qint64 moreInput, qint64 moreCachedInput, qint64 moreOutput, qint64 moreTotal,
             double moreCost)
    {
        hasEvents = true;
        addSaturating(input, moreInput);
        addSaturating(cachedInput, moreCachedInput);
        addSaturating(output, moreOutput);
        addSaturating(total, moreTotal);
        cost += moreCost;
    }
};

class ReportAccumulator
{
public:
    void place(qint64 total, double cost, const Placement &placement, size_t hourCount,
               size_t dayCount)
    {
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
        } else if (placement.laterHour) {
            m_laterHours[*placement.laterHour].add(total, cost);
        }
        if (placement.day >= 0) {
            m_days.resize(dayCount);
            m_days[size_t(placement.day)].add(total, cost);
        } else if (placement.laterDay) {
            m_laterDays[*placement.laterDay].add(total, cost);
        }
    }

    TokenUsageReport report(const ScopeSums &sums, qint64 lifetimeTokens,
                            const std::vector<double> &hourStarts,
                            const std::vector<double> &dayStarts) const
    {
        TokenUsageReport report = m_report;
        report.inputTokens = sums.input;
        report.cachedInputTokens = sums.cachedInput;
        report.outputTokens = sums.output;
        report.indexedTokens = sums.total;
        report.estimatedCost = sums.cost;
        // Codex's per-thread counts lag its rollout files during a turn, and a caller may pass
        // fewer threads than the index holds (archived ones left out): the lifetime shown
        // beside the window totals is never below what the index itself counted.
        report.lifetimeTokens = std::max(lifetimeTokens, sums.total);
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
        points.reserve(qsizetype(buckets.size() + later.size()));
        for (size_t i = 0; i < buckets.size(); ++i) {
            if (buckets[i].used)
                points.append({Timestamp::fromSeconds(starts[i]), buckets[i].tokens,
                               buckets[i].cost});
        }
        for (const auto &[start, bucket] : later)
            points.append({Timestamp::fromSeconds(start), bucket.tokens, bucket.cost});
        return points;
    }

    TokenUsageReport m_report; // the window totals only
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

// A clock hour or a calendar day: [start, end).
struct Interval
{
    double start = 0.0;
    double end = 0.0;
    bool contains(double value) const { return value >= start && value < end; }
};

quint64 sumsKey(int project, int model)
{
    return quint64(quint32(project)) << 32 | quint32(model + 1);
}

} // namespace

struct TokenUsageAggregator::Placed
{
    double builtAt = 0.0;
    double validUntil = 0.0; // the first boundary after builtAt; infinity: none
    std::optional<WeeklyAllowanceStatus> allowance;
    std::vector<double> hours;
    std::vector<double> days;
    // Reports are keyed by the standard form of the folder, as projects are: the threads of
    // one project may name its folder as "/a/b" and as "/a/b/", and their usage is one.
    std::vector<int> reportOf; // by project index
    QStringList reportPaths;
    QHash<QString, int> reportByPath;
    ReportAccumulator global;
    std::vector<ReportAccumulator> projects; // by report
};

struct TokenUsageAggregator::Lifetimes
{
    QList<CodexThread> threads; // held, so that its data stays what was summed
    QHash<QString, qint64> byFolder;
    qint64 global = 0;
};

TokenUsageAggregator::TokenUsageAggregator(TokenUsageAggregator &&) noexcept = default;
TokenUsageAggregator &
TokenUsageAggregator::operator=(TokenUsageAggregator &&) noexcept = default;
TokenUsageAggregator::~TokenUsageAggregator() = default;

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

TokenUsageAggregator::TokenUsageAggregator(const QTimeZone &timeZone, Timestamp horizon,
                                           double cutoff)
    : m_timeZone(timeZone.isValid() ? timeZone : QTimeZone::utc())
    , m_horizon(horizon.seconds)
    , m_cutoff(cutoff)
{
}

double TokenUsageAggregator::defaultCutoff(const QTimeZone &timeZone, Timestamp now)
{
    const TokenUsageAggregator probe(timeZone, now);
    return std::min({probe.dayStarts(now).front(), now.seconds - hourlySeriesSeconds,
                     now.seconds - fallbackWeeklyWindowSeconds});
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

// The starts of the days of the daily series, then the start of tomorrow.
std::vector<double> TokenUsageAggregator::dayStarts(Timestamp now) const
{
    const double nowSeconds =
        std::clamp(now.seconds, -calendarLimitSeconds, calendarLimitSeconds);
    const QDate today =
        QDateTime::fromSecsSinceEpoch(qint64(std::floor(nowSeconds)), m_timeZone).date();
    std::vector<double> starts;
    for (int day = 1 - dailySeriesDays; day <= 1; ++day)
        starts.push_back(double(today.addDays(day).startOfDay(m_timeZone).toSecsSinceEpoch()));
    return starts;
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
    m_allowance.reset();
    const quint64 key = sumsKey(row.project, row.model);
    if (!m_lastSums || key != m_lastSumsKey) {
        m_lastSums = &m_sums[key]; // elements of an unordered_map stay where they are
        m_lastSumsKey = key;
    }
    Sums &sums = *m_lastSums;
    addSaturating(sums.input, row.input);
    addSaturating(sums.cachedInput, row.cachedInput);
    addSaturating(sums.cappedCachedInput, std::min(row.cachedInput, row.input));
    addSaturating(sums.output, row.output);
    addSaturating(sums.total, row.total);
    if (row.date.seconds >= m_cutoff) {
        m_recent.push_back({row.date.seconds, row.input, row.cachedInput, row.output, row.total,
                            row.project, row.model});
        ++m_unplaced;
    }
    // Only a weekly window that has not reset by the horizon can ever decide.
    if (row.weeklyResetsAt && row.weeklyResetsAt->seconds > m_horizon && row.weeklyWindowMinutes
        && *row.weeklyWindowMinutes > weeklyWindowMinimumMinutes) {
        m_weekly.push_back({row.date, row.weeklyUsedPercent, *row.weeklyWindowMinutes,
                            *row.weeklyResetsAt, row.planType});
        if (m_placed)
            m_addedResets.push_back(row.weeklyResetsAt->seconds);
    }
}

void TokenUsageAggregator::add(const UsageEvent &event)
{
    Row row;
    row.project = internProject(event.projectPath.toUtf8());
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

void TokenUsageAggregator::append(TokenUsageAggregator &&later)
{
    m_allowance.reset();
    m_placed.reset();
    const auto remap = [](const Interner &from, const auto &intern) {
        std::vector<int> indexes;
        for (int i = 0; i < from.count(); ++i)
            indexes.push_back(intern(from.text(i).toUtf8()));
        return indexes;
    };
    const std::vector<int> projects = remap(later.m_projects, [&](const QByteArray &text) {
        return internProject(text);
    });
    const std::vector<int> models = remap(later.m_models, [&](const QByteArray &text) {
        return internModel(text);
    });
    const std::vector<int> plans = remap(later.m_planTypes, [&](const QByteArray &text) {
        return internPlanType(text);
    });
    const auto model = [&](int index) { return index == noText ? noText : models[size_t(index)]; };

    for (const auto &[key, value] : later.m_sums) {
        Sums &sums = m_sums[sumsKey(projects[size_t(key >> 32)],
                                    model(int(key & 0xffffffffu) - 1))];
        addSaturating(sums.input, value.input);
        addSaturating(sums.cachedInput, value.cachedInput);
        addSaturating(sums.cappedCachedInput, value.cappedCachedInput);
        addSaturating(sums.output, value.output);
        addSaturating(sums.total, value.total);
    }
    m_recent.reserve(m_recent.size() + later.m_recent.size());
    for (CompactEvent event : later.m_recent) {
        event.project = projects[size_t(event.project)];
        event.model = model(event.model);
        m_recent.push_back(event);
    }
    for (WeeklyEntry entry : later.m_weekly) {
        entry.planType = entry.planType == noText ? noText : plans[size_t(entry.planType)];
        m_weekly.push_back(entry);
    }
}

std::optional<WeeklyAllowanceStatus> TokenUsageAggregator::weeklyAllowance(Timestamp now) const
{
    if (m_allowance && m_allowance->first == now.seconds)
        return m_allowance->second;
    // The window of the latest event whose weekly window still runs; of equal dates the one
    // added first. When that one lacks its percentage, no older one is tried.
    const WeeklyEntry *latest = nullptr;
    for (const WeeklyEntry &entry : m_weekly) {
        if (entry.resetsAt > now && (!latest || entry.date > latest->date))
            latest = &entry;
    }
    if (!latest || !latest->usedPercent) {
        m_allowance.emplace(now.seconds, std::nullopt);
        return std::nullopt;
    }
    WeeklyAllowanceStatus allowance;
    allowance.usedPercent = *latest->usedPercent;
    allowance.resetsAt = latest->resetsAt;
    allowance.windowStart = latest->resetsAt.addingSeconds(-double(latest->windowMinutes) * 60.0);
    if (latest->planType != noText)
        allowance.planType = m_planTypes.text(latest->planType);
    m_allowance.emplace(now.seconds, allowance);
    return allowance;
}

double TokenUsageAggregator::windowsStart(Timestamp now) const
{
    const std::optional<WeeklyAllowanceStatus> allowance = weeklyAllowance(now);
    const double weeklyStart = allowance ? allowance->windowStart.seconds
                                         : now.seconds - fallbackWeeklyWindowSeconds;
    // The last hour and the seven days begin after the day series does.
    return std::min({dayStarts(now).front(), now.seconds - hourlySeriesSeconds, weeklyStart});
}

bool TokenUsageAggregator::covers(Timestamp now) const
{
    return now.seconds >= m_horizon && windowsStart(now) >= m_cutoff;
}

void TokenUsageAggregator::advance(Timestamp now)
{
    m_horizon = now.seconds;
    const double cutoff = windowsStart(now);
    m_weekly.erase(std::remove_if(m_weekly.begin(), m_weekly.end(),
                                  [&](const WeeklyEntry &entry) {
                                      return entry.resetsAt.seconds <= m_horizon;
                                  }),
                   m_weekly.end());
    if (cutoff > m_cutoff) {
        m_cutoff = cutoff;
        // Of the events added since the last snapshot, those dropped now are not placed.
        m_unplaced -= size_t(std::count_if(m_recent.end() - qsizetype(m_unplaced),
                                           m_recent.end(), [&](const CompactEvent &event) {
                                               return event.date < m_cutoff;
                                           }));
        m_recent.erase(std::remove_if(m_recent.begin(), m_recent.end(),
                                      [&](const CompactEvent &event) {
                                          return event.date < m_cutoff;
                                      }),
                       m_recent.end());
    }
}

// Calendar boundaries: the hourly series starts at a clock hour, today and the daily series
// at a day's start.
double TokenUsageAggregator::calendarChange(Timestamp now) const
{
    if (!(std::abs(now.seconds) < calendarLimitSeconds))
        return std::numeric_limits<double>::infinity();
    const double hour = hourStart(now.seconds);
    return std::min(std::max(hourStart(hour + 3600.0), hour + 1.0), dayStarts(now).back());
}

std::optional<Timestamp> TokenUsageAggregator::nextChange(Timestamp now) const
{
    if (m_recent.empty() && m_weekly.empty())
        return std::nullopt;
    const double nowSeconds = now.seconds;
    double next = std::numeric_limits<double>::infinity();
    const auto consider = [&](double moment) {
        if (moment > nowSeconds && moment < next)
            next = moment;
    };
    consider(calendarChange(now));
    const std::optional<WeeklyAllowanceStatus> allowance = weeklyAllowance(now);
    for (const WeeklyEntry &entry : m_weekly)
        consider(entry.resetsAt.seconds);
    // Sliding windows: an event leaves the last hour an hour after its date, the hourly
    // series a day after, the weekly window without a known allowance a week after (just
    // after: each window holds its first instant); an event dated in the future enters the
    // weekly window when its date comes.
    for (const CompactEvent &event : m_recent) {
        consider(event.date);
        consider(event.date + lastHourSeconds + windowEdgeMargin);
        consider(event.date + hourlySeriesSeconds + windowEdgeMargin);
        if (!allowance)
            consider(event.date + fallbackWeeklyWindowSeconds + windowEdgeMargin);
    }
    if (!std::isfinite(next))
        return std::nullopt;
    return Timestamp::fromSeconds(next);
}

double TokenUsageAggregator::eventCost(int model, qint64 input, qint64 cachedInput,
                                       qint64 output) const
{
    if (model == noText)
        return 0.0;
    const std::optional<TokenPriceTable::Rates> &rates = m_modelRates[size_t(model)];
    return rates ? TokenPriceTable::cost(*rates, input, cachedInput, output) : 0.0;
}

// The clock hours of the hourly series, then the hour after the last hour's.
std::vector<double> TokenUsageAggregator::hourStarts(Timestamp now) const
{
    std::vector<double> hours{hourStart(now.seconds - hourlySeriesSeconds)};
    while (hours.back() <= now.seconds + lastHourSeconds && hours.size() < maximumHourBoundaries)
        hours.push_back(std::max(hourStart(hours.back() + 3600.0), hours.back() + 1.0));
    return hours;
}

// Places the events of m_recent from `first` on in the windows and series of `now`; events
// `added` since the placed state was made also bring its end of validity forward to the first
// moment one of them moves.
void TokenUsageAggregator::placeFrom(size_t first, bool added, Timestamp now) const
{
    Placed &placed = *m_placed;
    const double nowSeconds = now.seconds;
    const std::vector<double> &hours = placed.hours;
    const std::vector<double> &days = placed.days;
    const double weeklyStart = placed.allowance ? placed.allowance->windowStart.seconds
                                                : nowSeconds - fallbackWeeklyWindowSeconds;
    const double lastHourStart = nowSeconds - lastHourSeconds;
    const double todayStart = days[size_t(dailySeriesDays - 1)];
    const double sevenDaysStart = days[size_t(dailySeriesDays - sevenDayWindowDays)];
    const double hourSeriesStart = nowSeconds - hourlySeriesSeconds;
    const double daySeriesStart = days.front();
    const double windowsBegin = std::min({lastHourStart, sevenDaysStart, hourSeriesStart,
                                          daySeriesStart, weeklyStart});

    // Dates past the boundaries (in the future) are placed by asking the calendar, once per
    // hour or day they fall in.
    Interval laterHour;
    Interval laterDay;
    const auto laterHourOf = [&](double date) {
        if (!laterHour.contains(date)) {
            const double start = hourStart(date);
            laterHour = {start, std::max(hourStart(start + 3600.0), start + 1.0)};
        }
        return laterHour.start;
    };
    const auto laterDayOf = [&](double date) {
        if (!laterDay.contains(date)) {
            const double start = dayStart(date);
            // Days last 23 to 25 hours: 26 hours on is always within the next day.
            laterDay = {start, std::max(dayStart(start + 26 * 3600.0), start + 1.0)};
        }
        return laterDay.start;
    };
    // As nextChange() does for every event.
    const auto consider = [&](double moment) {
        if (moment > nowSeconds && moment < placed.validUntil)
            placed.validUntil = moment;
    };

    for (size_t i = first; i < m_recent.size(); ++i) {
        const CompactEvent &event = m_recent[i];
        const double date = event.date;
        if (added) {
            consider(date);
            consider(date + lastHourSeconds + windowEdgeMargin);
            consider(date + hourlySeriesSeconds + windowEdgeMargin);
            if (!placed.allowance)
                consider(date + fallbackWeeklyWindowSeconds + windowEdgeMargin);
        }
        if (date < windowsBegin)
            continue;
        Placement placement;
        placement.lastHour = date >= lastHourStart;
        placement.today = date >= todayStart;
        placement.sevenDays = date >= sevenDaysStart;
        placement.weeklyWindow = date >= weeklyStart && date <= nowSeconds;
        if (date >= hourSeriesStart) {
            placement.hour = bucketIndex(hours, date);
            if (placement.hour < 0)
                placement.laterHour = laterHourOf(date);
        }
        if (date >= daySeriesStart) {
            placement.day = bucketIndex(days, date);
            if (placement.day < 0)
                placement.laterDay = laterDayOf(date);
        }
        const double cost = eventCost(event.model, event.input, event.cachedInput, event.output);
        placed.global.place(event.total, cost, placement, hours.size(), days.size());
        placed.projects[size_t(placed.reportOf[size_t(event.project)])].place(
            event.total, cost, placement, hours.size(), days.size());
    }
}

const TokenUsageAggregator::Lifetimes &
TokenUsageAggregator::lifetimes(const QList<CodexThread> &threads) const
{
    if (m_lifetimes && m_lifetimes->threads.constData() == threads.constData()
        && m_lifetimes->threads.size() == threads.size())
        return *m_lifetimes;
    m_lifetimes = std::make_unique<Lifetimes>();
    m_lifetimes->threads = threads;
    // Threads share a few hundred folders: each folder is summed as written, and its
    // standard form is found once.
    QHash<QString, qint64> byWrittenFolder;
    for (const CodexThread &thread : threads) {
        addSaturating(byWrittenFolder[thread.cwd], thread.tokensUsed);
        addSaturating(m_lifetimes->global, thread.tokensUsed);
    }
    for (auto it = byWrittenFolder.cbegin(); it != byWrittenFolder.cend(); ++it)
        addSaturating(m_lifetimes->byFolder[standardizedPath(it.key())], it.value());
    return *m_lifetimes;
}

TokenUsageSnapshot TokenUsageAggregator::snapshot(const QList<CodexThread> &threads,
                                                  qint64 pendingRolloutCount,
                                                  Timestamp now) const
{
    TokenUsageSnapshot snapshot;
    snapshot.indexedAt = now;
    snapshot.pendingRolloutCount = pendingRolloutCount;
    snapshot.weeklyAllowance = weeklyAllowance(now);

    // The calendar is asked only here: every event falls between these boundaries or, rarely
    // (a date in the future), is placed by asking again.
    std::vector<double> days = dayStarts(now);
    std::vector<double> hours = hourStarts(now);
    // What the last snapshot placed holds until the first moment the clock alone moves an
    // event or a boundary, while the weekly window and the boundaries are those it used.
    const bool placedHolds = m_placed && now.seconds >= m_placed->builtAt
        && now.seconds < m_placed->validUntil && m_placed->allowance == snapshot.weeklyAllowance
        && m_placed->hours == hours && m_placed->days == days;
    if (placedHolds) {
        for (const double resetsAt : m_addedResets) {
            if (resetsAt > now.seconds)
                m_placed->validUntil = std::min(m_placed->validUntil, resetsAt);
        }
    } else {
        m_placed = std::make_unique<Placed>();
        m_placed->builtAt = now.seconds;
        // The calendar's boundaries count even while no event is kept: one added later is
        // placed in series that end there.
        const std::optional<Timestamp> next = nextChange(now);
        m_placed->validUntil = std::min(next ? next->seconds
                                             : std::numeric_limits<double>::infinity(),
                                        calendarChange(now));
        m_placed->allowance = snapshot.weeklyAllowance;
        m_placed->hours = std::move(hours);
        m_placed->days = std::move(days);
    }
    Placed &placed = *m_placed;
    for (int index = int(placed.reportOf.size()); index < m_projects.count(); ++index) {
        const QString path = standardizedPath(m_projects.text(index));
        const auto found = placed.reportByPath.constFind(path);
        if (found != placed.reportByPath.cend()) {
            placed.reportOf.push_back(*found);
        } else {
            placed.reportOf.push_back(int(placed.reportPaths.size()));
            placed.reportByPath.insert(path, int(placed.reportPaths.size()));
            placed.reportPaths.append(path);
            placed.projects.emplace_back();
        }
    }
    placeFrom(placedHolds ? m_recent.size() - m_unplaced : 0, placedHolds, now);
    m_unplaced = 0;
    m_addedResets.clear();

    // Sums in the order of their texts, so that the costs add up alike however the events
    // came in. Sums are only ever added (and stay where they are), so the order holds while
    // their number does.
    if (m_sumsInOrder.size() != m_sums.size()) {
        m_sumsInOrder.clear();
        for (const auto &entry : m_sums)
            m_sumsInOrder.push_back(&entry);
        const auto textsOf = [&](quint64 key) {
            const int model = int(key & 0xffffffffu) - 1;
            return std::tuple(&m_projects.text(int(key >> 32)), model != noText,
                              model == noText ? nullptr : &m_models.text(model));
        };
        std::sort(m_sumsInOrder.begin(), m_sumsInOrder.end(), [&](const auto *a, const auto *b) {
            const auto [projectA, hasModelA, modelA] = textsOf(a->first);
            const auto [projectB, hasModelB, modelB] = textsOf(b->first);
            if (*projectA != *projectB)
                return *projectA < *projectB;
            if (hasModelA != hasModelB)
                return !hasModelA;
            return hasModelA && *modelA < *modelB;
        });
    }
    ScopeSums global;
    std::vector<ScopeSums> projects(size_t(placed.reportPaths.size()));
    for (const auto *entry : m_sumsInOrder) {
        const int project = int(entry->first >> 32);
        const int model = int(entry->first & 0xffffffffu) - 1;
        const Sums &value = entry->second;
        double cost = 0.0;
        if (model != noText) {
            if (const auto &rates = m_modelRates[size_t(model)]) {
                const double cached = double(value.cappedCachedInput);
                cost = TokenPriceTable::splitCost(*rates, double(value.input) - cached, cached,
                                                  double(value.output));
            }
        }
        global.add(value.input, value.cachedInput, value.output, value.total, cost);
        projects[size_t(placed.reportOf[size_t(project)])].add(
            value.input, value.cachedInput, value.output, value.total, cost);
    }

    const Lifetimes &lifetime = lifetimes(threads);
    snapshot.projects.reserve(lifetime.byFolder.size() + placed.reportPaths.size());
    for (auto it = lifetime.byFolder.cbegin(); it != lifetime.byFolder.cend(); ++it) {
        TokenUsageReport report;
        report.lifetimeTokens = it.value();
        snapshot.projects.insert(it.key(), report);
    }
    for (int index = 0; index < int(placed.reportPaths.size()); ++index) {
        if (!projects[size_t(index)].hasEvents)
            continue;
        const QString &path = placed.reportPaths[index];
        snapshot.projects.insert(path, placed.projects[size_t(index)].report(
                                           projects[size_t(index)],
                                           lifetime.byFolder.value(path), placed.hours,
                                           placed.days));
    }
    snapshot.global = placed.global.report(global, lifetime.global, placed.hours, placed.days);
    if (std::isfinite(placed.validUntil) && (!m_recent.empty() || !m_weekly.empty()))
        snapshot.nextBoundaryAt = Timestamp::fromSeconds(placed.validUntil);
    return snapshot;
}

} // namespace tolvaran::Internal
