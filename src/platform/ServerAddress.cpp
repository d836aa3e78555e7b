#include "platform/ServerAddress.h"

#include <QUrl>
#include <QtGlobal>

namespace tolvaran {

QString serverAddress()
{
    const QString overridden = qEnvironmentVariable(serverURLVariable);
    return overridden.isEmpty() ? defaultServerAddress : overridden;
}

ServerAddressCheck checkServerAddress(const QUrl &url)
{
    if (!url.isValid() || url.host().isEmpty())
        return ServerAddressCheck::invalid;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return ServerAddressCheck::allowed;
    if (scheme != QLatin1String("http"))
        return ServerAddressCheck::invalid;
    const QString host = url.host().toLower();
    return host == QLatin1String("127.0.0.1") || host == QLatin1String("localhost")
               ? ServerAddressCheck::allowed
               : ServerAddressCheck::insecure;
}

} // namespace tolvaran
