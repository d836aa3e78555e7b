#pragma once

#include <QByteArray>
#include <QLatin1StringView>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tolvaran {

// Writes compact JSON with members in the order they are written. The team server's messages
// and records keep the order of their fields, which QJsonObject cannot do (it sorts its keys).
// Absent optionals write no member; nothing writes null. Numbers that JSON cannot carry (NaN,
// infinities) throw TeamWireError (unencodable).
class TeamJsonWriter
{
public:
    void beginObject();
    // Opens a message to the server with the members every message starts with, in order.
    void beginMessage(const char *type, qint64 protocolVersion, const QString &deviceId,
                      const QString &memberName);
    void endObject();
    void beginArray();
    void endArray();
    // The key of the next member of the open object.
    void key(QLatin1StringView name);

    void stringValue(const QString &value);
    void intValue(qint64 value);
    void doubleValue(double value);
    void boolValue(bool value);
    void stringArrayValue(const QStringList &values);

    void stringField(QLatin1StringView name, const QString &value);
    void intField(QLatin1StringView name, qint64 value);
    void doubleField(QLatin1StringView name, double value);
    void boolField(QLatin1StringView name, bool value);
    void stringArrayField(QLatin1StringView name, const QStringList &values);
    void optionalStringField(QLatin1StringView name, const std::optional<QString> &value);
    void optionalIntField(QLatin1StringView name, const std::optional<qint64> &value);
    void optionalDoubleField(QLatin1StringView name, const std::optional<double> &value);
    void optionalBoolField(QLatin1StringView name, const std::optional<bool> &value);

    // Writes every element with `writeElement(writer, element)`.
    template <typename List, typename WriteElement>
    void arrayField(QLatin1StringView name, const List &elements, WriteElement writeElement)
    {
        key(name);
        beginArray();
        for (const auto &element : elements)
            writeElement(*this, element);
        endArray();
    }

    const QByteArray &bytes() const { return m_bytes; }

private:
    void beforeValue();
    void appendString(QByteArrayView utf8);

    QByteArray m_bytes;
    std::vector<bool> m_hasElements; // one entry per open object or array
    bool m_afterKey = false;
};

} // namespace tolvaran
