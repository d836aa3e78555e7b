#pragma once

#include "data/token_usage/UsageEvent.h"

#include <QByteArrayView>

namespace tolvaran::Internal {

// Reads one "token_count" line of a rollout file into a usage event.
class TokenCountLineParser final
{
public:
    // The bytes every usage line holds. Codex writes compact JSON, so a line without them is
    // not a usage line and is never decoded.
    static constexpr QByteArrayView pattern{"\"type\":\"token_count\""};

    // The largest count a line may give for one turn; beyond it the line is not believed.
    static constexpr qint64 maximumTokenCount = 1'000'000'000'000;

    // The event of a usage line: an "event_msg" whose payload is a "token_count" with usage
    // info, a valid timestamp, a positive total and no negative count, none of them above
    // maximumTokenCount. Anything else yields nothing.
    static std::optional<UsageEvent> parseEvent(QByteArrayView line, const QString &projectPath,
                                                const std::optional<QString> &model);
    // The same, reading the line with Qt's JSON reader only (parseEvent uses a quicker one
    // where it can, and must agree with this).
    static std::optional<UsageEvent> parseEventWithQtReader(QByteArrayView line,
                                                            const QString &projectPath,
                                                            const std::optional<QString> &model);

    // An internet date and time, "2026-01-31T12:34:56.789Z" or with an offset ("+01:00");
    // the fraction may be left out. Precision is milliseconds (further digits are dropped).
    static std::optional<Timestamp> parseTimestamp(QByteArrayView text);
};

} // namespace tolvaran::Internal
