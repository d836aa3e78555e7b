#include "platform/ServerAddress.h"

#include <QtGlobal>

namespace tolvaran {

QString serverAddress()
{
    const QString overridden = qEnvironmentVariable("TOLVARAN_SERVER_URL");
    return overridden.isEmpty() ? defaultServerAddress : overridden;
}

} // namespace tolvaran
