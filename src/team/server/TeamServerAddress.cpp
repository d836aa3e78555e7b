#include "team/server/TeamServerAddress.h"

namespace tolvaran {

QString teamServerAddress()
{
    return serverAddress();
}

} // namespace tolvaran
