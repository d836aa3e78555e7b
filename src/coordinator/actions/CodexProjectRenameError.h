#pragma once

#include "platform/Error.h"

namespace tolvaran {

enum class CodexProjectRenameErrorKind {
    couldNotCloseCodex, // an instance was still running when the wait ended
    renameInProgress,   // another rename has not finished yet
};

// The sentence the window shows for each case.
QString errorMessage(CodexProjectRenameErrorKind kind);

// Why a project could not be renamed in Codex, beyond the stores' own errors.
using CodexProjectRenameError = KindError<CodexProjectRenameErrorKind>;

} // namespace tolvaran
