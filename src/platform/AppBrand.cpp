#include "platform/AppBrand.h"

#include <QCoreApplication>

#ifndef TOLVARAN_RELEASE_PUBLIC_KEY
#define TOLVARAN_RELEASE_PUBLIC_KEY                                                             \
    "ca4898030cdac6bf59e4e7f00d4b722172497a4d10b0915ab8119f7824aed404"
#endif

namespace tolvaran::AppBrand {

QString version()
{
    const QString stated = QCoreApplication::applicationVersion();
    return stated.isEmpty() ? fallbackVersion : stated;
}

const QStringList &supportedApplicationFolderNames()
{
    static const QStringList names{QStringLiteral("Tolvaran"), QStringLiteral("Tolvar"),
                                   QStringLiteral("Ostvik Tolvaran")};
    return names;
}

const QByteArray &releaseSigningKey()
{
    static const QByteArray key = QByteArray::fromHex(TOLVARAN_RELEASE_PUBLIC_KEY);
    return key;
}

} // namespace tolvaran::AppBrand
