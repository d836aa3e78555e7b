#include "data/token_usage/TokenUsageError.h"

namespace tolvaran {

namespace {

QString sentence(TokenUsageError::Case errorCase)
{
    using Case = TokenUsageError::Case;
    switch (errorCase) {
    case Case::databaseOpenFailed:
        return QStringLiteral("Could not open the token usage index.");
    case Case::databaseReadFailed:
        return QStringLiteral("Could not read the token usage index.");
    case Case::databaseWriteFailed:
        return QStringLiteral("Could not update the token usage index.");
    case Case::folderCreationFailed:
        return QStringLiteral("Could not create the folder of the token usage index.");
    }
    return QStringLiteral("Could not update the token usage index.");
}

} // namespace

TokenUsageError::TokenUsageError(Case errorCase)
    : Error(sentence(errorCase))
    , m_case(errorCase)
{
}

} // namespace tolvaran
