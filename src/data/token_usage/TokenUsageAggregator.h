#pragma once

#include "data/codex/CodexThread.h"
#include "data/token_usage/TokenPriceTable.h"
#include "data/token_usage/TokenUsageSnapshot.h"
#include "data/token_usage/UsageEventHourIndex.h"
#include "data/token_usage/UsageEvent.h"

#include <QByteArrayView>
#include <QList>
#include <QTimeZone>

#include <limits>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tolvaran::Internal {

struct TokenPlacedReports;

// The usage events of the index, held so that a TokenUsageSnapshot can be made from them at
// any later time: totals over fixed windows, hourly and daily series in the given time zone,
// costs, and the weekly rate-limit window.
//
// An index holds up to millions of events, and a snapshot is made on every refresh, so the
// events are kept in the form the snapshot needs: per project and model, the sums over all
// events; one by one, only the events at or after the cutoff (those that can still fall in a
// window or series); and the events whose weekly window had not reset by the horizon. Texts
// are stored once, and the calendar is asked for the few hour and day boundaries of the
// series, never per event.
class TokenUsageAggregator final
{
public:
    // One row of the index, with its texts replaced by the indexes that intern*() returned.
    struct Row
    {
        int project = 0;
        Timestamp date;
        qint64 input = 0;
        qint64 cachedInput = 0;
        qint64 output = 0;
        qint64 total = 0;
        int model = noText;
        std::optional<double> weeklyUsedPercent;
        std::optional<qint64> weeklyWindowMinutes;
        std::optional<Timestamp> weeklyResetsAt;
        int planType = noText;
    };
    static constexpr int noText = -1;
    static constexpr double keepEveryEvent = -std::numeric_limits<double>::infinity();

    // A weekly window must be longer than this many minutes; the other window Codex reports
    // lasts five hours.
    static constexpr qint64 weeklyWindowMinimumMinutes = 9999;
    static constexpr double fallbackWeeklyWindowSeconds = 604800.0; // seven days
    static constexpr double lastHourSeconds = 3600.0;
    static constexpr double hourlySeriesSeconds = 86400.0;
    static constexpr int sevenDayWindowDays = 7; // today and the six days before
    static constexpr int dailySeriesDays = 30;   // today and the 29 days before

    // Snapshots can be made at `horizon` or later; events dated before `cutoff` are kept only
    // in the sums (defaultCutoff() covers every window that depends on the date alone).
    TokenUsageAggregator(const QTimeZone &timeZone, Timestamp horizon,
                         double cutoff = keepEveryEvent);
    // Movable only: it keeps a pointer into its own sums.
    TokenUsageAggregator(TokenUsageAggregator &&) noexcept;
    TokenUsageAggregator &operator=(TokenUsageAggregator &&) noexcept;
    TokenUsageAggregator(const TokenUsageAggregator &) = delete;
    TokenUsageAggregator &operator=(const TokenUsageAggregator &) = delete;
    ~TokenUsageAggregator();

    static double defaultCutoff(const QTimeZone &timeZone, Timestamp now);

    // The index of a text (UTF-8), the same for equal texts.
    int internProject(QByteArrayView utf8) { return m_projects.intern(utf8); }
    int internModel(QByteArrayView utf8);
    int internPlanType(QByteArrayView utf8) { return m_planTypes.intern(utf8); }

    // Events must be added in the order the index holds them.
    void add(const Row &row);
    void add(const UsageEvent &event);
    // Adds the events of `later` (made with the same time zone, horizon and cutoff), which
    // follow this one's in the index: the parts of an index read side by side become one.
    void append(TokenUsageAggregator &&later);

    Timestamp horizon() const { return Timestamp::fromSeconds(m_horizon); }
    // Whether the events kept one by one suffice for a snapshot at `now` (not before the
    // horizon, and no window begins before the cutoff).
    bool covers(Timestamp now) const;
    // The earliest date a snapshot at `now` places in a window or series.
    double windowsStart(Timestamp now) const;
    // Moves the horizon and the cutoff forward to `now` and drops what no later snapshot
    // needs. Requires covers(now).
    void advance(Timestamp now);

    // The first moment after `now` at which the passing of time alone changes a figure of the
    // snapshot at `now`: an event leaving the last hour, the hourly series or the fallback
    // weekly window, or entering the weekly window; a clock hour or a day beginning in the
    // time zone; a weekly window resetting. Nothing when no event can move.
    std::optional<Timestamp> nextChange(Timestamp now) const;

    // The snapshot at `now` (covers(now) must hold), with the lifetime counts of `threads`.
    // What the last snapshot placed in its windows and series is kept: a later snapshot on the
    // same day places the events added since, and of the others visits only those the clock
    // moved into or out of a window (or out of an hour of the hourly series, which is summed
    // again); a new day places every event again. The same threads given again (the same
    // list, or one holding the same folders and counts) are not summed again.
    // `threadsVersion`, when not 0, names what `threads` holds: a list given before with the
    // same number held the same folders and counts.
    TokenUsageSnapshot snapshot(const QList<CodexThread> &threads, qint64 pendingRolloutCount,
                                Timestamp now, quint64 threadsVersion = 0) const;

private:
    class Interner
    {
    public:
        int intern(QByteArrayView utf8);
        const QString &text(int index) const { return m_texts[size_t(index)]; }
        int count() const { return int(m_texts.size()); }

    private:
        struct Hash
        {
            using is_transparent = void;
            size_t operator()(std::string_view text) const noexcept
            {
                return std::hash<std::string_view>{}(text);
            }
        };
        std::unordered_map<std::string, int, Hash, std::equal_to<>> m_indexes;
        std::vector<QString> m_texts;
        // Rows of one rollout follow each other in the index: the last text is the likeliest.
        std::string m_lastBytes;
        int m_lastIndex = noText;
    };

    struct Sums
    {
        qint64 input = 0;
        qint64 cachedInput = 0;
        qint64 cappedCachedInput = 0; // cached input, at most the input: what the price uses
        qint64 output = 0;
        qint64 total = 0;
    };

    struct CompactEvent
    {
        double date;
        qint64 input;
        qint64 cachedInput;
        qint64 output;
        qint64 total;
        int project;
        int model;
    };

    struct WeeklyEntry
    {
        Timestamp date;
        std::optional<double> usedPercent;
        qint64 windowMinutes;
        Timestamp resetsAt;
        int planType;
    };

    struct Lifetimes;

    std::optional<WeeklyAllowanceStatus> weeklyAllowance(Timestamp now) const;
    std::vector<double> hourStarts(Timestamp now) const;
    double calendarChange(Timestamp now) const;
    bool slidePlaced(Timestamp now, double weeklyStart) const;
    void addWeekly(const WeeklyEntry &entry);
    void placeFrom(size_t first, Timestamp now) const;
    void sumHourAgain(size_t hour, const std::vector<int> &reports, Timestamp now) const;
    void indexRecent(size_t first);
    const Lifetimes &lifetimes(const QList<CodexThread> &threads, quint64 version) const;
    double eventCost(int model, qint64 input, qint64 cachedInput, qint64 output) const;
    double hourStart(double seconds) const;
    double dayStart(double seconds) const;
    std::vector<double> dayStarts(Timestamp now) const;

    QTimeZone m_timeZone;
    mutable std::vector<double> m_days; // the last dayStarts()
    double m_horizon;
    double m_cutoff;

    Interner m_projects;
    Interner m_models;
    Interner m_planTypes;
    std::vector<std::optional<TokenPriceTable::Rates>> m_modelRates;
    std::unordered_map<quint64, Sums> m_sums; // by project index << 32 | model index + 1
    // Rows of one rollout follow each other in the index: their sums are the likeliest.
    quint64 m_lastSumsKey = 0;
    Sums *m_lastSums = nullptr;
    // The weekly window found for a time, until the events change.
    mutable std::optional<std::pair<double, std::optional<WeeklyAllowanceStatus>>> m_allowance;
    std::vector<CompactEvent> m_recent;       // events at or after the cutoff
    UsageEventHourIndex m_recentByHour;       // their positions by date
    // The weekly windows that had not reset by the horizon: the latest first (of equal dates
    // the one added first), and by their resets, so that the one that decides and the next
    // reset are found without a search, and those that reset leave one by one.
    struct WeeklyOrder
    {
        bool operator()(const std::pair<double, quint64> &a,
                        const std::pair<double, quint64> &b) const
        {
            return a.first != b.first ? a.first > b.first : a.second < b.second;
        }
    };
    using WeeklyByDate = std::map<std::pair<double, quint64>, WeeklyEntry, WeeklyOrder>;
    WeeklyByDate m_weekly; // by (date, order added)
    std::multimap<double, WeeklyByDate::iterator> m_weeklyResets;
    quint64 m_weeklyAdded = 0;
    // What the last snapshot placed; the last `m_unplaced` events of m_recent came after it.
    mutable std::unique_ptr<TokenPlacedReports> m_placed;
    mutable size_t m_unplaced = 0;
    mutable std::unique_ptr<Lifetimes> m_lifetimes;
    mutable quint64 m_lifetimesMade = 0;
    mutable std::vector<const std::pair<const quint64, Sums> *> m_sumsInOrder;
};

} // namespace tolvaran::Internal
