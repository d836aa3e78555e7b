#include "team/server/TeamTransportError.h"

namespace tolvaran {

QString TeamTransportError::messageFor(Kind kind)
{
    switch (kind) {
    case Kind::failed:
        return QStringLiteral("The team server could not be reached.");
    case Kind::timedOut:
        return QStringLiteral("The team server did not answer in time.");
    case Kind::cancelled:
        return QStringLiteral("The request to the team server was cancelled.");
    }
    return {};
}

} // namespace tolvaran
