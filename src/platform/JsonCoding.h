#pragma once

#include "platform/Error.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace tolvaran {

// A coded record that could not be read: a required key missing, null or of the wrong type.
class JsonDecodingError final : public Error
{
public:
    using Error::Error;
};

// Reading keyed JSON the strict way our coded records need: a required key must be present,
// non-null and of the right type (else JsonDecodingError); an optional key may be missing or
// null, both giving an absent value, but a present value of the wrong type is an error.
namespace json {

QString requiredString(const QJsonObject &object, const QString &key);
qint64 requiredInt64(const QJsonObject &object, const QString &key);
double requiredDouble(const QJsonObject &object, const QString &key);
bool requiredBool(const QJsonObject &object, const QString &key);
QStringList requiredStringArray(const QJsonObject &object, const QString &key);
QJsonObject requiredObject(const QJsonObject &object, const QString &key);

std::optional<QString> optionalString(const QJsonObject &object, const QString &key);
std::optional<qint64> optionalInt64(const QJsonObject &object, const QString &key);
std::optional<double> optionalDouble(const QJsonObject &object, const QString &key);
std::optional<bool> optionalBool(const QJsonObject &object, const QString &key);
std::optional<QJsonObject> optionalObject(const QJsonObject &object, const QString &key);

// Writes `value` under `key` only when present (an absent value writes no key, never null).
void insertOptional(QJsonObject &object, const QString &key, const std::optional<QString> &value);
void insertOptional(QJsonObject &object, const QString &key, const std::optional<qint64> &value);
void insertOptional(QJsonObject &object, const QString &key, const std::optional<double> &value);

QJsonArray toArray(const QStringList &strings);

} // namespace json
} // namespace tolvaran
