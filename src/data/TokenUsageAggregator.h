#pragma once

#include "data/CodexThread.h"
#include "data/TokenPriceTable.h"
#include "data/TokenUsageSnapshot.h"
#include "data/UsageEvent.h"

#include <QByteArrayView>
#include <QList>
#include <QTimeZone>

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tolvaran::Internal {

// Turns the usage events of the index into a TokenUsageSnapshot: totals over fixed windows,
// hourly and daily series in the given time zone, costs, and the weekly rate-limit window.
//
// Events are added one by one, as the index reads them, and kept in a compact form: a pass
// over an index of a million events must stay well under a second, so texts (project
// folders, models, plans) are stored once and the calendar is asked only for the few hour and
// day boundaries of the series, never per event.
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

    // A weekly window must be longer than this many minutes; the other window Codex reports
    // lasts five hours.
    static constexpr qint64 weeklyWindowMinimumMinutes = 9999;
    static constexpr double fallbackWeeklyWindowSeconds = 604800.0; // seven days
    static constexpr double lastHourSeconds = 3600.0;
    static constexpr double hourlySeriesSeconds = 86400.0;
    static constexpr int sevenDayWindowDays = 7;  // today and the six days before
    static constexpr int dailySeriesDays = 30;    // today and the 29 days before

    TokenUsageAggregator(const QTimeZone &timeZone, Timestamp now);

    // The index of a text (UTF-8), the same for equal texts.
    int internProject(QByteArrayView utf8) { return m_projects.intern(utf8); }
    int internModel(QByteArrayView utf8);
    int internPlanType(QByteArrayView utf8) { return m_planTypes.intern(utf8); }

    void add(const Row &row);
    void add(const UsageEvent &event);

    // The snapshot of every event added so far, with the lifetime counts of `threads`.
    TokenUsageSnapshot snapshot(const QList<CodexThread> &threads,
                                qint64 pendingRolloutCount) const;

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

    struct WeeklyCandidate
    {
        Timestamp date;
        std::optional<double> usedPercent;
        std::optional<qint64> windowMinutes;
        std::optional<Timestamp> resetsAt;
        int planType = noText;
    };

    double hourStart(double seconds) const;
    double dayStart(double seconds) const;

    QTimeZone m_timeZone;
    double m_now;
    std::vector<double> m_hourStarts; // clock hours from the series start to past `now`
    std::vector<double> m_dayStarts;  // days from the series start to the start of tomorrow

    Interner m_projects;
    Interner m_models;
    Interner m_planTypes;
    std::vector<std::optional<TokenPriceTable::Rates>> m_modelRates;
    std::vector<CompactEvent> m_events;
    std::optional<WeeklyCandidate> m_weekly;
};

} // namespace tolvaran::Internal
