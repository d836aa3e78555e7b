#include "team/wire/TeamJsonWriter.h"

#include "team/wire/TeamWireError.h"

#include <charconv>
#include <cmath>

namespace tolvaran {

void TeamJsonWriter::beforeValue()
{
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (!m_hasElements.empty()) {
        if (m_hasElements.back())
            m_bytes.append(',');
        m_hasElements.back() = true;
    }
}

void TeamJsonWriter::beginObject()
{
    beforeValue();
    m_bytes.append('{');
    m_hasElements.push_back(false);
}

void TeamJsonWriter::beginMessage(const char *type, qint64 protocolVersion,
                                  const QString &deviceId, const QString &memberName)
{
    beginObject();
    stringField(QLatin1StringView("type"), QString::fromLatin1(type));
    intField(QLatin1StringView("protocolVersion"), protocolVersion);
    stringField(QLatin1StringView("deviceId"), deviceId);
    stringField(QLatin1StringView("memberName"), memberName);
}

void TeamJsonWriter::endObject()
{
    m_hasElements.pop_back();
    m_bytes.append('}');
}

void TeamJsonWriter::beginArray()
{
    beforeValue();
    m_bytes.append('[');
    m_hasElements.push_back(false);
}

void TeamJsonWriter::endArray()
{
    m_hasElements.pop_back();
    m_bytes.append(']');
}

void TeamJsonWriter::key(QLatin1StringView name)
{
    if (m_hasElements.back())
        m_bytes.append(',');
    m_hasElements.back() = true;
    appendString(QByteArrayView(name.data(), name.size()));
    m_bytes.append(':');
    m_afterKey = true;
}

void TeamJsonWriter::appendString(QByteArrayView utf8)
{
    static constexpr char hexDigits[] = "0123456789abcdef";
    m_bytes.append('"');
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"': m_bytes.append("\\\""); continue;
        case '\\': m_bytes.append("\\\\"); continue;
        case '\b': m_bytes.append("\\b"); continue;
        case '\f': m_bytes.append("\\f"); continue;
        case '\n': m_bytes.append("\\n"); continue;
        case '\r': m_bytes.append("\\r"); continue;
        case '\t': m_bytes.append("\\t"); continue;
        default: break;
        }
        if (byte < 0x20) {
            m_bytes.append("\\u00");
            m_bytes.append(hexDigits[byte >> 4]);
            m_bytes.append(hexDigits[byte & 0xF]);
        } else {
            m_bytes.append(c);
        }
    }
    m_bytes.append('"');
}

void TeamJsonWriter::stringValue(const QString &value)
{
    beforeValue();
    appendString(value.toUtf8());
}

void TeamJsonWriter::intValue(qint64 value)
{
    beforeValue();
    m_bytes.append(QByteArray::number(value));
}

void TeamJsonWriter::doubleValue(double value)
{
    if (!std::isfinite(value)) {
        throw TeamWireError(TeamWireErrorKind::unencodable);
    }
    beforeValue();
    // The shortest text that reads back as the same double ("12.5", "50", "1e+22").
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    m_bytes.append(buffer, result.ptr - buffer);
}

void TeamJsonWriter::boolValue(bool value)
{
    beforeValue();
    m_bytes.append(value ? "true" : "false");
}

void TeamJsonWriter::stringArrayValue(const QStringList &values)
{
    beginArray();
    for (const QString &value : values)
        stringValue(value);
    endArray();
}

void TeamJsonWriter::stringField(QLatin1StringView name, const QString &value)
{
    key(name);
    stringValue(value);
}

void TeamJsonWriter::intField(QLatin1StringView name, qint64 value)
{
    key(name);
    intValue(value);
}

void TeamJsonWriter::doubleField(QLatin1StringView name, double value)
{
    key(name);
    doubleValue(value);
}

void TeamJsonWriter::boolField(QLatin1StringView name, bool value)
{
    key(name);
    boolValue(value);
}

void TeamJsonWriter::stringArrayField(QLatin1StringView name, const QStringList &values)
{
    key(name);
    stringArrayValue(values);
}

void TeamJsonWriter::optionalStringField(QLatin1StringView name,
                                         const std::optional<QString> &value)
{
    if (value)
        stringField(name, *value);
}

void TeamJsonWriter::optionalIntField(QLatin1StringView name, const std::optional<qint64> &value)
{
    if (value)
        intField(name, *value);
}

void TeamJsonWriter::optionalDoubleField(QLatin1StringView name,
                                         const std::optional<double> &value)
{
    if (value)
        doubleField(name, *value);
}

void TeamJsonWriter::optionalBoolField(QLatin1StringView name, const std::optional<bool> &value)
{
    if (value)
        boolField(name, *value);
}

} // namespace tolvaran
