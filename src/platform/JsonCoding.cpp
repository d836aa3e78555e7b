#include "platform/JsonCoding.h"

#include <limits>

namespace tolvaran::json {

namespace {

[[noreturn]] void fail(const QString &key, const char *expected)
{
    throw JsonDecodingError(QStringLiteral("The value for \"%1\" is missing or is not %2.")
                                .arg(key, QLatin1String(expected)));
}

QJsonValue present(const QJsonObject &object, const QString &key, const char *expected)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        fail(key, expected);
    return value;
}

// An integer field takes only whole numbers that fit in 64 bits (QJsonValue keeps integers
// parsed from text exactly; toInteger() refuses fractions and out-of-range values).
std::optional<qint64> asInt64(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    constexpr qint64 sentinel = std::numeric_limits<qint64>::min();
    const qint64 exact = value.toInteger(sentinel);
    if (exact != sentinel || value.toDouble() == double(sentinel))
        return exact;
    return std::nullopt;
}

} // namespace

QString requiredString(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = present(object, key, "a string");
    if (!value.isString())
        fail(key, "a string");
    return value.toString();
}

qint64 requiredInt64(const QJsonObject &object, const QString &key)
{
    const auto number = asInt64(present(object, key, "an integer"));
    if (!number)
        fail(key, "an integer");
    return *number;
}

double requiredDouble(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = present(object, key, "a number");
    if (!value.isDouble())
        fail(key, "a number");
    return value.toDouble();
}

bool requiredBool(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = present(object, key, "a boolean");
    if (!value.isBool())
        fail(key, "a boolean");
    return value.toBool();
}

QStringList requiredStringArray(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = present(object, key, "a list of strings");
    if (!value.isArray())
        fail(key, "a list of strings");
    QStringList result;
    const QJsonArray array = value.toArray();
    result.reserve(array.size());
    for (const QJsonValue &item : array) {
        if (!item.isString())
            fail(key, "a list of strings");
        result.append(item.toString());
    }
    return result;
}

QJsonObject requiredObject(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = present(object, key, "an object");
    if (!value.isObject())
        fail(key, "an object");
    return value.toObject();
}

std::optional<QString> optionalString(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isString())
        fail(key, "a string");
    return value.toString();
}

std::optional<qint64> optionalInt64(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    const auto number = asInt64(value);
    if (!number)
        fail(key, "an integer");
    return number;
}

std::optional<double> optionalDouble(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isDouble())
        fail(key, "a number");
    return value.toDouble();
}

std::optional<bool> optionalBool(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isBool())
        fail(key, "a boolean");
    return value.toBool();
}

std::optional<QJsonObject> optionalObject(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isObject())
        fail(key, "an object");
    return value.toObject();
}

void insertOptional(QJsonObject &object, const QString &key, const std::optional<QString> &value)
{
    if (value)
        object.insert(key, *value);
}

void insertOptional(QJsonObject &object, const QString &key, const std::optional<qint64> &value)
{
    if (value)
        object.insert(key, *value);
}

void insertOptional(QJsonObject &object, const QString &key, const std::optional<double> &value)
{
    if (value)
        object.insert(key, *value);
}

QJsonArray toArray(const QStringList &strings)
{
    QJsonArray array;
    for (const QString &item : strings)
        array.append(item);
    return array;
}

} // namespace tolvaran::json
