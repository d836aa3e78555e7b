#pragma once

#include "platform/Timestamp.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

class QRandomGenerator;

namespace tolvaran::fixtures {

// Builders of rollout-file lines as Codex writes them: compact JSON objects
// {"timestamp":"…Z","type":…,"payload":…}, one per line, each ending in a line feed.
// Fixtures put lines together to make rollout files of any shape and size.
namespace rollout {

// "2026-01-31T12:34:56.789Z": milliseconds always written, as Codex does.
QString timestampText(Timestamp when);

QByteArray sessionMeta(Timestamp when, const QString &threadID, const QString &cwd);
QByteArray taskStarted(Timestamp when);
QByteArray taskComplete(Timestamp when, bool failed = false); // failed: carries "error"
QByteArray turnAborted(Timestamp when);
QByteArray taskEvent(Timestamp when, const QString &payloadType); // any event_msg type
// A user-role message whose content holds one input_text item per text.
QByteArray userMessage(Timestamp when, const QStringList &texts);
QByteArray userMessage(Timestamp when, const QString &text);
QByteArray assistantMessage(Timestamp when, const QString &text);

struct TokenUsage
{
    qint64 input = 0;
    qint64 cachedInput = 0; // part of input
    qint64 output = 0;
    qint64 reasoningOutput = 0; // part of output
    qint64 total() const { return input + output; }
};

struct RateWindow
{
    double usedPercent = 0.0;
    qint64 windowMinutes = 10080;
    Timestamp resetsAt;
};

struct TokenCount
{
    TokenUsage last;
    TokenUsage total;
    std::optional<RateWindow> primary;   // usually the five-hour window (300 minutes)
    std::optional<RateWindow> secondary; // usually the weekly window (10080 minutes)
    std::optional<QString> planType;
};

QByteArray tokenCount(Timestamp when, const TokenCount &count);
// The same line with the timestamp written as given (e.g. without fractional seconds).
QByteArray tokenCount(const QString &timestamp, const TokenCount &count);
// A token_count line whose "info" lacks "last_token_usage".
QByteArray tokenCountWithoutLastUsage(Timestamp when, const TokenCount &count);
// The line an interrupt writes: "info" is null.
QByteArray tokenCountWithoutInfo(Timestamp when);
// A token count for one call of a random size, its usage added to `total` (the running
// sum of the rollout), with both rate windows partly used.
TokenCount randomTokenCount(QRandomGenerator &random, TokenUsage &total, Timestamp when);

// Lines of a long working history. Generators write gigabytes of them, so they are put
// together as text rather than through QJsonDocument: `text`, `command` and `output` must
// need no JSON escaping.
QByteArray reasoning(Timestamp when, QByteArrayView text);
QByteArray functionCall(Timestamp when, QByteArrayView command, quint32 callID);
QByteArray functionCallOutput(Timestamp when, quint32 callID, QByteArrayView output);

} // namespace rollout
} // namespace tolvaran::fixtures
