#include "update/AppUpdateManifest.h"

#include "platform/JsonCoding.h"
#include "update/AppUpdateError.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QRegularExpression>

#include <optional>

namespace tolvaran {

namespace {

std::optional<QList<qint64>> versionNumbers(const QString &version)
{
    QList<qint64> numbers;
    for (const QString &piece : version.split(QLatin1Char('.'), Qt::SkipEmptyParts)) {
        bool ok = false;
        const qint64 number = piece.toLongLong(&ok, 10);
        if (ok)
            numbers.append(number);
    }
    if (numbers.size() != 3)
        return std::nullopt;
    return numbers;
}

} // namespace

AppUpdateManifest AppUpdateManifest::decode(const QByteArray &json)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        throw AppUpdateError(AppUpdateError::Kind::invalidManifest);
    const QJsonObject object = document.object();
    try {
        AppUpdateManifest manifest;
        manifest.version = json::requiredString(object, QStringLiteral("version"));
        manifest.sha256 = json::requiredString(object, QStringLiteral("sha256"));
        // A size written as a fraction or beyond 64 bits is not a size.
        const QJsonValue size = object.value(QStringLiteral("size"));
        if (!size.isDouble() || size.toDouble() != double(size.toInteger()))
            throw AppUpdateError(AppUpdateError::Kind::invalidManifest);
        manifest.size = size.toInteger();
        manifest.downloadPath = json::requiredString(object, QStringLiteral("downloadPath"));
        manifest.publishedAt = json::requiredString(object, QStringLiteral("publishedAt"));
        return manifest;
    } catch (const JsonDecodingError &) {
        throw AppUpdateError(AppUpdateError::Kind::invalidManifest);
    }
}

void validateManifest(const AppUpdateManifest &manifest)
{
    // Whole-string matches of ASCII digits only: "$" alone would let a trailing line break
    // through, and "\\d" digits of other scripts that no version comparison can read.
    static const QRegularExpression versionPattern(QRegularExpression::anchoredPattern(
        QStringLiteral("[0-9]{2}\\.[0-9]{1,2}\\.[0-9]+")));
    static const QRegularExpression hashPattern(
        QRegularExpression::anchoredPattern(QStringLiteral("[a-fA-F0-9]{64}")));
    const bool valid = versionPattern.match(manifest.version).hasMatch()
                       && hashPattern.match(manifest.sha256).hasMatch() && manifest.size >= 1
                       && manifest.size <= maximumReleaseSize
                       && manifest.downloadPath
                              == QStringLiteral("/v1/app/releases/") + manifest.version
                                     + QStringLiteral("/download");
    if (!valid)
        throw AppUpdateError(AppUpdateError::Kind::invalidManifest);
}

bool isVersionNewer(const QString &candidate, const QString &current)
{
    const auto candidateNumbers = versionNumbers(candidate);
    const auto currentNumbers = versionNumbers(current);
    if (!candidateNumbers || !currentNumbers)
        return false;
    return *currentNumbers < *candidateNumbers;
}

} // namespace tolvaran
