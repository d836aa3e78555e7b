#include "support/team/WatchedSecrets.h"

#include <mutex>

namespace tolvaran::fixtures {

namespace {

std::mutex &secretsMutex()
{
    static std::mutex mutex;
    return mutex;
}

QStringList &secrets()
{
    static QStringList list;
    return list;
}

} // namespace

void watchSecret(const QString &secret)
{
    if (secret.trimmed().isEmpty())
        return;
    std::lock_guard lock(secretsMutex());
    if (!secrets().contains(secret))
        secrets().append(secret);
}

QStringList watchedSecrets()
{
    std::lock_guard lock(secretsMutex());
    return secrets();
}

} // namespace tolvaran::fixtures
