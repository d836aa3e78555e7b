#include "team/server/TeamTransportError.h"

namespace tolvaran {

QString errorMessage(TeamTransportErrorKind kind)
{
    switch (kind) {
    case TeamTransportErrorKind::failed:
        return QStringLiteral("The team server could not be reached.");
    case TeamTransportErrorKind::timedOut:
        return QStringLiteral("The team server did not answer in time.");
    case TeamTransportErrorKind::cancelled:
        return QStringLiteral("The request to the team server was cancelled.");
    }
    Q_UNREACHABLE();
    return {};
}

} // namespace tolvaran
