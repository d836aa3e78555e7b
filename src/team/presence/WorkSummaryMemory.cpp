#include "team/presence/WorkSummaryMemory.h"

#include "platform/storage/KeyValueStore.h"
#include "team/presence/TeamPresenceRules.h"

#include <QCryptographicHash>
#include <QVariantMap>

namespace tolvaran {

namespace {

QString sha256Hex(const QString &text)
{
    return TeamPresenceRules::hexadecimal(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256));
}

} // namespace

QString workSummaryFingerprint(const LocalTeamProjectState &state)
{
    const QStringList parts = {
        QStringLiteral("work-summary-v5"),
        state.shared.repositoryId,
        state.shared.branch.value_or(QString()),
        state.shared.headSha.value_or(QString()),
        state.workFingerprint,
        state.latestUserRequest ? sha256Hex(*state.latestUserRequest) : QString(),
        state.shared.isCodexProcessing ? QStringLiteral("processing") : QStringLiteral("idle"),
    };
    return sha256Hex(parts.join(QChar(0x1E)));
}

QHash<QString, QString> readWorkSummaries(const KeyValueStore &defaults, const QString &key)
{
    const QVariant value = defaults.value(key);
    if (value.typeId() != QMetaType::QVariantMap)
        return {};
    QHash<QString, QString> summaries;
    const QVariantMap map = value.toMap();
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (it->typeId() != QMetaType::QString)
            return {};
        summaries.insert(it.key(), it->toString());
    }
    return summaries;
}

QHash<QString, QString> storeWorkSummary(KeyValueStore &defaults, const QString &key,
                                         const QHash<QString, QString> &known,
                                         const QString &fingerprint, const QString &sentence,
                                         qsizetype maximumEntries)
{
    // Each team's service keeps its own copy; writing that copy alone would drop what the
    // other teams stored since it was read.
    QHash<QString, QString> summaries = readWorkSummaries(defaults, key);
    summaries.insert(known);
    summaries.insert(fingerprint, sentence);
    for (auto it = summaries.begin(); summaries.size() > maximumEntries;) {
        if (it.key() == fingerprint)
            ++it;
        else
            it = summaries.erase(it);
    }
    QVariantMap stored;
    for (auto it = summaries.cbegin(); it != summaries.cend(); ++it)
        stored.insert(it.key(), it.value());
    defaults.setValue(key, stored);
    return summaries;
}

} // namespace tolvaran
