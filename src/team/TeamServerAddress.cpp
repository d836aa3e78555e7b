#include "team/TeamServerAddress.h"

#include <QtGlobal>

namespace tolvaran {

QString teamServerAddress()
{
    const QString configured = qEnvironmentVariable(teamServerURLVariable);
    return configured.isEmpty() ? QString::fromLatin1(productionServerURL) : configured;
}

} // namespace tolvaran
