#include "team/wire/TeamWireError.h"

namespace tolvaran {

QString errorMessage(TeamWireErrorKind kind)
{
    switch (kind) {
    case TeamWireErrorKind::malformed:
        return QStringLiteral("The team message is not valid JSON.");
    case TeamWireErrorKind::limitExceeded:
        return QStringLiteral("The team message is too large.");
    case TeamWireErrorKind::invalidRecord:
        return QStringLiteral("A value of the team message is missing or of the wrong type.");
    case TeamWireErrorKind::unencodable:
        return QStringLiteral("A number that JSON cannot carry was to be sent.");
    }
    Q_UNREACHABLE();
    return {};
}

QString errorMessage(TeamWireErrorKind kind, const QString &detail)
{
    switch (kind) {
    case TeamWireErrorKind::malformed:
        return QStringLiteral("The team message is not valid JSON: %1.").arg(detail);
    case TeamWireErrorKind::limitExceeded:
        return QStringLiteral("The team message is too large: %1.").arg(detail);
    case TeamWireErrorKind::invalidRecord:
        return QStringLiteral("The value for %1.").arg(detail);
    case TeamWireErrorKind::unencodable:
        return errorMessage(kind);
    }
    Q_UNREACHABLE();
    return {};
}

} // namespace tolvaran
