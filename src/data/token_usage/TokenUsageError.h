#pragma once

#include "platform/Error.h"

namespace tolvaran {

enum class TokenUsageErrorKind {
    databaseOpenFailed,
    databaseReadFailed,
    databaseWriteFailed,
    folderCreationFailed,
};

QString errorMessage(TokenUsageErrorKind kind);

// A failure of the token-usage index.
using TokenUsageError = KindError<TokenUsageErrorKind>;

} // namespace tolvaran
