#include "platform/ServerAddress.h"

#include <QtGlobal>

namespace tolvaran {

QString serverAddress()
{
    const QString overridden = qEnvironmentVariable(serverURLVariable);
    return overridden.isEmpty() ? defaultServerAddress : overridden;
}

} // namespace tolvaran
