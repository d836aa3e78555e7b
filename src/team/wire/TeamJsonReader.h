#pragma once

#include "team/wire/TeamWireError.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tolvaran {

// A strict pull reader of one JSON document from the team server, which the wire records
// decode themselves from, member by member.
//
// Our own rather than QJsonDocument because the team server is not trusted with our memory:
// QJsonDocument builds the whole tree of a message before anything can count its members,
// while this reader refuses a message the moment it passes a bound of TeamWireLimits (bytes,
// nesting, values, list entries), so the records decoded so far are all that is ever held.
// It also reads integer tokens itself, so a 64-bit count or time is exact whatever its size
// or however a JSON library represents numbers, and one that does not fit is refused, never
// rounded or wrapped.
class TeamJsonReader
{
public:
    enum class Kind { null, boolean, number, string, array, object };

    // Throws TeamWireError: limitExceeded when `bytes` is over the message limit, malformed
    // when it is not UTF-8. The bytes must outlive the reader.
    explicit TeamJsonReader(QByteArrayView bytes);

    // Decodes the whole of `bytes` as one `Record` (its static decode(TeamJsonReader &)).
    // Throws TeamWireError; a message refused for its size is logged.
    template <typename Record>
    static Record decodeDocument(QByteArrayView bytes)
    {
        try {
            TeamJsonReader reader(bytes);
            Record record = Record::decode(reader);
            reader.finish();
            return record;
        } catch (const TeamWireError &error) {
            logIfRefused(error);
            throw;
        }
    }

    // The kind of the next value; malformed when no value starts here.
    Kind peek();
    // Consumes a null and returns true; otherwise consumes nothing and returns false.
    bool skipNull();

    // Objects: beginObject(), then nextKey() until it returns nothing (the closing brace is
    // consumed then); after each key the caller reads or skips exactly one value.
    void beginObject();
    std::optional<QByteArrayView> nextKey(); // valid until the next call
    // Arrays: beginArray(), then nextElement() before each element; false at the end.
    void beginArray();
    bool nextElement();

    // Values of a member, named by the key last read in error messages. The required forms
    // refuse null; the optional forms give nothing for null.
    QString requiredString();
    qint64 requiredInt64();
    double requiredDouble();
    bool requiredBool();
    QStringList requiredStringArray();
    std::optional<QString> optionalString();
    std::optional<qint64> optionalInt64();
    std::optional<double> optionalDouble();
    std::optional<bool> optionalBool();
    std::optional<QStringList> optionalStringArray();
    void skipValue();

    // Only white space may follow the document.
    void finish();

    // Reads the elements of an array, refusing more than `maxCount` of them.
    template <typename Element, typename ReadElement>
    QList<Element> readArray(qsizetype maxCount, const char *what, ReadElement readElement)
    {
        QList<Element> elements;
        beginArray();
        while (nextElement()) {
            if (elements.size() >= maxCount)
                failLimit(QStringLiteral("more than %1 %2").arg(maxCount).arg(
                    QLatin1String(what)));
            elements.append(readElement(*this));
        }
        return elements;
    }

    // The record being decoded lacks `key` (or holds null where a value is required).
    [[noreturn]] void failMissing(const char *key) const;
    // The value of the current member is not what its field needs.
    [[noreturn]] void failMistyped(const char *expected) const;
    [[noreturn]] void failLimit(const QString &what) const;

    // A required member read into `slot`, or failMissing.
    template <typename T>
    static T take(std::optional<T> &slot, const char *key, const TeamJsonReader &reader)
    {
        if (!slot)
            reader.failMissing(key);
        return std::move(*slot);
    }

private:
    static void logIfRefused(const TeamWireError &error);

    [[noreturn]] void failMalformed(const char *what) const;
    void skipWhiteSpace();
    char nextSignificant();
    void countValue();
    void push();
    void pop();
    QByteArrayView scanNumber(bool &isInteger);
    QByteArrayView scanStringBytes(QByteArray &buffer);
    QString readStringToken();
    void appendEscape(QByteArray &out);
    void expectLiteral(const char *literal);
    qint64 int64FromToken();
    double doubleFromToken();

    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
    qint64 m_values = 0;
    std::vector<bool> m_firstInContainer; // one entry per open object or array
    QByteArrayView m_key;                 // the key last read, in m_bytes or m_keyBuffer
    QByteArray m_keyBuffer;
};

} // namespace tolvaran
