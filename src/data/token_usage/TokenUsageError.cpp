#include "data/token_usage/TokenUsageError.h"

namespace tolvaran {

QString errorMessage(TokenUsageErrorKind kind)
{
    switch (kind) {
    case TokenUsageErrorKind::databaseOpenFailed:
        return QStringLiteral("Could not open the token usage index.");
    case TokenUsageErrorKind::databaseReadFailed:
        return QStringLiteral("Could not read the token usage index.");
    case TokenUsageErrorKind::databaseWriteFailed:
        return QStringLiteral("Could not update the token usage index.");
    case TokenUsageErrorKind::folderCreationFailed:
        return QStringLiteral("Could not create the folder of the token usage index.");
    }
    Q_UNREACHABLE();
    return {};
}

} // namespace tolvaran
