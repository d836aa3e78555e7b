#include "data/token_usage/TokenUsageAggregator.h"

#include "data/token_usage/TokenPlacedReports.h"
#include "data/token_usage/TokenReportAccumulator.h"
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

quint64 sumsKey(int project, int model)
{
    return quint64(quint32(project)) << 32 | quint32(model + 1);
}

} // namespace

struct TokenUsageAggregator::Lifetimes
{
    QList<CodexThread> threads; // held, so that its data stays what was summed
    quint64 version = 0;
    quint64 serial = 0; // which sums these are, among those of one aggregator
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

// The starts of the days of the daily series, then the start of tomorrow; the calendar is
// asked once a day.
std::vector<double> TokenUsageAggregator::dayStarts(Timestamp now) const
{
    if (m_days.size() == size_t(dailySeriesDays + 1)
        && now.seconds >= m_days[size_t(dailySeriesDays - 1)] && now.seconds < m_days.back())
        return m_days;
    const double nowSeconds =
        std::clamp(now.seconds, -calendarLimitSeconds, calendarLimitSeconds);
    const QDate today =
        QDateTime::fromSecsSinceEpoch(qint64(std::floor(nowSeconds)), m_timeZone).date();
    std::vector<double> starts;
    for (int day = 1 - dailySeriesDays; day <= 1; ++day)
        starts.push_back(double(today.addDays(day).startOfDay(m_timeZone).toSecsSinceEpoch()));
    m_days = starts;
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
        m_recentByHour.add(std::uint32_t(m_recent.size()), row.date.seconds);
        m_recent.push_back({row.date.seconds, row.input, row.cachedInput, row.output, row.total,
                            row.project, row.model});
        ++m_unplaced;
    }
    // Only a weekly window that has not reset by the horizon can ever decide.
    if (row.weeklyResetsAt && row.weeklyResetsAt->seconds > m_horizon && row.weeklyWindowMinutes
        && *row.weeklyWindowMinutes > weeklyWindowMinimumMinutes) {
        addWeekly({row.date, row.weeklyUsedPercent, *row.weeklyWindowMinutes,
                   *row.weeklyResetsAt, row.planType});
    }
}

void TokenUsageAggregator::addWeekly(const WeeklyEntry &entry)
{
    // A date that is no number cannot be ordered; the index never holds one.
    if (std::isnan(entry.date.seconds))
        return;
    const auto added =
        m_weekly.emplace(std::pair(entry.date.seconds, m_weeklyAdded++), entry).first;
    m_weeklyResets.emplace(entry.resetsAt.seconds, added);
}

void TokenUsageAggregator::indexRecent(size_t first)
{
    if (first == 0)
        m_recentByHour.clear();
    for (size_t i = first; i < m_recent.size(); ++i)
        m_recentByHour.add(std::uint32_t(i), m_recent[i].date);
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
    const size_t appendedFrom = m_recent.size();
    m_recent.reserve(m_recent.size() + later.m_recent.size());
    for (CompactEvent event : later.m_recent) {
        event.project = projects[size_t(event.project)];
        event.model = model(event.model);
        m_recent.push_back(event);
    }
    m_unplaced += later.m_recent.size();
    indexRecent(appendedFrom);
    // In the order `later` added them, after this one's.
    std::vector<const std::pair<const std::pair<double, quint64>, WeeklyEntry> *> laterWeekly;
    for (const auto &entry : later.m_weekly)
        laterWeekly.push_back(&entry);
    std::sort(laterWeekly.begin(), laterWeekly.end(), [](const auto *a, const auto *b) {
        return a->first.second < b->first.second;
    });
    for (const auto *laterEntry : laterWeekly) {
        WeeklyEntry entry = laterEntry->second;
        entry.planType = entry.planType == noText ? noText : plans[size_t(entry.planType)];
        addWeekly(entry);
    }
}

std::optional<WeeklyAllowanceStatus> TokenUsageAggregator::weeklyAllowance(Timestamp now) const
{
    if (m_allowance && m_allowance->first == now.seconds)
        return m_allowance->second;
    // The window of the latest event whose weekly window still runs; of equal dates the one
    // added first. When that one lacks its percentage, no older one is tried.
    const WeeklyEntry *latest = nullptr;
    for (const auto &[key, entry] : m_weekly) {
        if (entry.resetsAt > now) {
            latest = &entry;
            break;
        }
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
    while (!m_weeklyResets.empty() && m_weeklyResets.begin()->first <= m_horizon) {
        m_weekly.erase(m_weeklyResets.begin()->second);
        m_weeklyResets.erase(m_weeklyResets.begin());
    }
    if (cutoff > m_cutoff) {
        m_cutoff = cutoff;
        // Of the events added since the last snapshot, those dropped now are not placed.
        m_unplaced -= size_t(std::count_if(m_recent.end() - qsizetype(m_unplaced),
                                           m_recent.end(), [&](const CompactEvent &event) {
                                               return event.date < m_cutoff;
                                           }));
        const auto kept = std::remove_if(m_recent.begin(), m_recent.end(),
                                         [&](const CompactEvent &event) {
                                             return event.date < m_cutoff;
                                         });
        if (kept != m_recent.end()) {
            m_recent.erase(kept, m_recent.end());
            indexRecent(0);
            // Dropped events may still count in what was placed (a weekly window longer than
            // the daily series moved on): the next snapshot places everything again.
            m_placed.reset();
        }
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
    const auto nextReset = m_weeklyResets.upper_bound(now.seconds);
    if (nextReset != m_weeklyResets.end())
        consider(nextReset->first);
    // Sliding windows: an event leaves the last hour an hour after its date, the hourly
    // series a day after, the weekly window without a known allowance a week after (just
    // after: each window holds its first instant); an event dated in the future enters the
    // weekly window when its date comes. Of each, only the earliest event still to move
    // counts, and the events are found by their hours.
    const auto earliestMove = [&](double after) {
        const auto moves = [&](std::uint32_t position) {
            return m_recent[position].date + after > nowSeconds;
        };
        for (const std::uint32_t position :
             m_recentByHour.firstQualifyingHours(nowSeconds - after, moves))
            consider(m_recent[position].date + after);
    };
    earliestMove(0.0);
    earliestMove(lastHourSeconds + windowEdgeMargin);
    earliestMove(hourlySeriesSeconds + windowEdgeMargin);
    if (!allowance)
        earliestMove(fallbackWeeklyWindowSeconds + windowEdgeMargin);
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

const TokenUsageAggregator::Lifetimes &
TokenUsageAggregator::lifetimes(const QList<CodexThread> &threads, quint64 version) const
{
    // A list read anew that holds the same folders and counts (every full refresh while
    // nothing changed) sums to the same: known by its number, else by comparing.
    const auto same = [&] {
        if (version != 0 && m_lifetimes->version == version)
            return true;
        if (m_lifetimes->threads.size() != threads.size())
            return false;
        return m_lifetimes->threads.constData() == threads.constData()
            || std::equal(threads.cbegin(), threads.cend(), m_lifetimes->threads.cbegin(),
                          [](const CodexThread &a, const CodexThread &b) {
                              return a.tokensUsed == b.tokensUsed && a.cwd == b.cwd;
                          });
    };
    if (m_lifetimes && same()) {
        m_lifetimes->threads = threads;
        if (version != 0)
            m_lifetimes->version = version;
        return *m_lifetimes;
    }
    m_lifetimes = std::make_unique<Lifetimes>();
    m_lifetimes->threads = threads;
    m_lifetimes->version = version;
    m_lifetimes->serial = ++m_lifetimesMade;
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
                                                  qint64 pendingRolloutCount, Timestamp now,
                                                  quint64 threadsVersion) const
{
    TokenUsageSnapshot snapshot;
    snapshot.indexedAt = now;
    snapshot.pendingRolloutCount = pendingRolloutCount;
    snapshot.weeklyAllowance = weeklyAllowance(now);

    const double weeklyStart = snapshot.weeklyAllowance
        ? snapshot.weeklyAllowance->windowStart.seconds
        : now.seconds - fallbackWeeklyWindowSeconds;
    // Projects met since the last snapshot get their reports first: the events placed below
    // count in them.
    const auto takeNewProjects = [&] {
        TokenPlacedReports &placed = *m_placed;
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
    };
    if (m_placed)
        takeNewProjects();
    if (!m_placed || !slidePlaced(now, weeklyStart)) {
        // The calendar is asked only here: every event falls between these boundaries or,
        // rarely (a date in the future), is placed by asking again.
        m_placed = std::make_unique<TokenPlacedReports>();
        m_placed->at = now.seconds;
        m_placed->weeklyStart = weeklyStart;
        m_placed->hours = hourStarts(now);
        m_placed->days = dayStarts(now);
        takeNewProjects();
        placeFrom(0, now);
    }
    m_unplaced = 0;
    TokenPlacedReports &placed = *m_placed;

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
    TokenReportAccumulator::Sums global;
    std::vector<TokenReportAccumulator::Sums> projects(size_t(placed.reportPaths.size()));
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

    // Whether the report was made again; else it is the one made before.
    const auto makeReport = [&](TokenReportAccumulator &windows, TokenPlacedReports::Made &made,
                                const TokenReportAccumulator::Sums &sums, qint64 lifetimeTokens) {
        if (!windows.takeChanged() && made.report && made.sums == sums
            && made.lifetimeTokens == lifetimeTokens)
            return false;
        made.report = windows.report(sums, lifetimeTokens, placed.hours, placed.days);
        made.sums = sums;
        made.lifetimeTokens = lifetimeTokens;
        return true;
    };
    placed.projectsMade.resize(placed.projects.size());
    const Lifetimes &lifetime = lifetimes(threads, threadsVersion);
    // The reports by folder are those of the last snapshot but the ones made again, while the
    // threads' folders and counts are those they were made with.
    const bool allAgain =
        !placed.projectsByPath || placed.projectsByPathLifetimes != lifetime.serial;
    if (allAgain) {
        placed.projectsByPath.emplace();
        placed.projectsByPath->reserve(lifetime.byFolder.size() + placed.reportPaths.size());
        placed.projectsByPathLifetimes = lifetime.serial;
        for (auto it = lifetime.byFolder.cbegin(); it != lifetime.byFolder.cend(); ++it) {
            TokenUsageReport report;
            report.lifetimeTokens = it.value();
            placed.projectsByPath->insert(it.key(), report);
        }
    }
    for (int index = 0; index < int(placed.reportPaths.size()); ++index) {
        if (!projects[size_t(index)].hasEvents)
            continue;
        const QString &path = placed.reportPaths[index];
        TokenPlacedReports::Made &made = placed.projectsMade[size_t(index)];
        if (makeReport(placed.projects[size_t(index)], made, projects[size_t(index)],
                       lifetime.byFolder.value(path))
            || allAgain)
            placed.projectsByPath->insert(path, *made.report);
    }
    snapshot.projects = *placed.projectsByPath;
    makeReport(placed.global, placed.globalMade, global, lifetime.global);
    snapshot.global = *placed.globalMade.report;
    // The calendar's boundaries count even while no event is kept: one added later is placed
    // in series that end there.
    if (!m_recent.empty() || !m_weekly.empty()) {
        const std::optional<Timestamp> next = nextChange(now);
        const double boundary = std::min(next ? next->seconds
                                              : std::numeric_limits<double>::infinity(),
                                         calendarChange(now));
        if (std::isfinite(boundary))
            snapshot.nextBoundaryAt = Timestamp::fromSeconds(boundary);
    }
    return snapshot;
}

} // namespace tolvaran::Internal
