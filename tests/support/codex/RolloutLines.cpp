#include "support/codex/RolloutLines.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

namespace tolvaran::fixtures::rollout {

namespace {

QByteArray line(const QString &timestamp, const QString &type, const QJsonObject &payload)
{
    const QJsonObject root{
        {QStringLiteral("timestamp"), timestamp},
        {QStringLiteral("type"), type},
        {QStringLiteral("payload"), payload},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Compact) + '\n';
}

QByteArray line(Timestamp when, const QString &type, const QJsonObject &payload)
{
    return line(timestampText(when), type, payload);
}

QJsonObject usageObject(const TokenUsage &usage)
{
    return QJsonObject{
        {QStringLiteral("input_tokens"), usage.input},
        {QStringLiteral("cached_input_tokens"), usage.cachedInput},
        {QStringLiteral("output_tokens"), usage.output},
        {QStringLiteral("reasoning_output_tokens"), usage.reasoningOutput},
        {QStringLiteral("total_tokens"), usage.total()},
    };
}

QJsonObject windowObject(const RateWindow &window)
{
    return QJsonObject{
        {QStringLiteral("used_percent"), window.usedPercent},
        {QStringLiteral("window_minutes"), window.windowMinutes},
        {QStringLiteral("resets_at"), qint64(window.resetsAt.seconds)},
    };
}

QByteArray message(Timestamp when, const QString &role, const QString &itemType,
                   const QStringList &texts)
{
    QJsonArray content;
    for (const QString &text : texts)
        content.append(QJsonObject{{QStringLiteral("type"), itemType},
                                   {QStringLiteral("text"), text}});
    return line(when, QStringLiteral("response_item"),
                QJsonObject{{QStringLiteral("type"), QStringLiteral("message")},
                            {QStringLiteral("role"), role},
                            {QStringLiteral("content"), content}});
}

QByteArray responseItemOpening(Timestamp when, QByteArrayView payloadType)
{
    QByteArray line = "{\"timestamp\":\"" + timestampText(when).toLatin1()
        + "\",\"type\":\"response_item\",\"payload\":{\"type\":\"";
    line.append(payloadType);
    line.append("\",");
    return line;
}

} // namespace

QString timestampText(Timestamp when)
{
    return when.toDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

QByteArray sessionMeta(Timestamp when, const QString &threadID, const QString &cwd)
{
    return line(when, QStringLiteral("session_meta"),
                QJsonObject{{QStringLiteral("id"), threadID},
                            {QStringLiteral("timestamp"), timestampText(when)},
                            {QStringLiteral("cwd"), cwd},
                            {QStringLiteral("originator"), QStringLiteral("codex_cli_rs")},
                            {QStringLiteral("cli_version"), QStringLiteral("0.171.0")}});
}

QByteArray taskEvent(Timestamp when, const QString &payloadType)
{
    return line(when, QStringLiteral("event_msg"),
                QJsonObject{{QStringLiteral("type"), payloadType}});
}

QByteArray taskStarted(Timestamp when)
{
    return line(when, QStringLiteral("event_msg"),
                QJsonObject{{QStringLiteral("type"), QStringLiteral("task_started")},
                            {QStringLiteral("model_context_window"), 272000}});
}

QByteArray taskComplete(Timestamp when, bool failed)
{
    QJsonObject payload{{QStringLiteral("type"), QStringLiteral("task_complete")},
                        {QStringLiteral("last_agent_message"), QStringLiteral("Done.")}};
    if (failed)
        payload.insert(QStringLiteral("error"), QStringLiteral("stream disconnected"));
    return line(when, QStringLiteral("event_msg"), payload);
}

QByteArray turnAborted(Timestamp when)
{
    return line(when, QStringLiteral("event_msg"),
                QJsonObject{{QStringLiteral("type"), QStringLiteral("turn_aborted")},
                            {QStringLiteral("reason"), QStringLiteral("interrupted")}});
}

QByteArray userMessage(Timestamp when, const QStringList &texts)
{
    return message(when, QStringLiteral("user"), QStringLiteral("input_text"), texts);
}

QByteArray userMessage(Timestamp when, const QString &text)
{
    return userMessage(when, QStringList{text});
}

QByteArray assistantMessage(Timestamp when, const QString &text)
{
    return message(when, QStringLiteral("assistant"), QStringLiteral("output_text"), {text});
}

namespace {

QJsonObject tokenCountPayload(const TokenCount &count, bool withLastUsage)
{
    QJsonObject rateLimits;
    if (count.primary)
        rateLimits.insert(QStringLiteral("primary"), windowObject(*count.primary));
    if (count.secondary)
        rateLimits.insert(QStringLiteral("secondary"), windowObject(*count.secondary));
    if (count.planType)
        rateLimits.insert(QStringLiteral("plan_type"), *count.planType);
    QJsonObject info{{QStringLiteral("total_token_usage"), usageObject(count.total)},
                     {QStringLiteral("model_context_window"), 272000}};
    if (withLastUsage)
        info.insert(QStringLiteral("last_token_usage"), usageObject(count.last));
    QJsonObject payload{
        {QStringLiteral("type"), QStringLiteral("token_count")},
        {QStringLiteral("info"), info},
    };
    if (!rateLimits.isEmpty())
        payload.insert(QStringLiteral("rate_limits"), rateLimits);
    return payload;
}

} // namespace

QByteArray tokenCount(Timestamp when, const TokenCount &count)
{
    return line(when, QStringLiteral("event_msg"), tokenCountPayload(count, true));
}

QByteArray tokenCount(const QString &timestamp, const TokenCount &count)
{
    return line(timestamp, QStringLiteral("event_msg"), tokenCountPayload(count, true));
}

QByteArray tokenCountWithoutLastUsage(Timestamp when, const TokenCount &count)
{
    return line(when, QStringLiteral("event_msg"), tokenCountPayload(count, false));
}

QByteArray tokenCountWithoutInfo(Timestamp when)
{
    return line(when, QStringLiteral("event_msg"),
                QJsonObject{{QStringLiteral("type"), QStringLiteral("token_count")},
                            {QStringLiteral("info"), QJsonValue::Null}});
}

TokenCount randomTokenCount(QRandomGenerator &random, TokenUsage &total, Timestamp when)
{
    constexpr double hourInSeconds = 3600.0;
    constexpr double dayInSeconds = 86400.0;
    TokenCount count;
    count.last.input = 20000 + random.bounded(200000);
    count.last.cachedInput = count.last.input * 3 / 4;
    count.last.output = 100 + random.bounded(8000);
    count.last.reasoningOutput = count.last.output / 3;
    total.input += count.last.input;
    total.cachedInput += count.last.cachedInput;
    total.output += count.last.output;
    count.total = total;
    count.primary = RateWindow{double(random.bounded(100)), 300,
                               when.addingSeconds(4 * hourInSeconds)};
    count.secondary = RateWindow{double(random.bounded(100)), 10080,
                                 when.addingSeconds(5 * dayInSeconds)};
    count.planType = QStringLiteral("pro");
    return count;
}

QByteArray reasoning(Timestamp when, QByteArrayView text)
{
    QByteArray line = responseItemOpening(when, "reasoning");
    line.append("\"summary\":[],\"encrypted_content\":\"");
    line.append(text);
    line.append("\"}}\n");
    return line;
}

QByteArray functionCall(Timestamp when, QByteArrayView command, quint32 callID)
{
    QByteArray line = responseItemOpening(when, "function_call");
    line.append("\"name\":\"shell\",\"arguments\":\"{\\\"command\\\":[\\\"bash\\\","
                "\\\"-lc\\\",\\\"");
    line.append(command);
    line.append("\\\"]}\",\"call_id\":\"call_");
    line.append(QByteArray::number(callID));
    line.append("\"}}\n");
    return line;
}

QByteArray functionCallOutput(Timestamp when, quint32 callID, QByteArrayView output)
{
    QByteArray line = responseItemOpening(when, "function_call_output");
    line.append("\"call_id\":\"call_");
    line.append(QByteArray::number(callID));
    line.append("\",\"output\":\"");
    line.append(output);
    line.append("\"}}\n");
    return line;
}

} // namespace tolvaran::fixtures::rollout
