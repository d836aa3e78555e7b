#pragma once

#include "platform/Error.h"

#include <QString>

namespace tolvaran {

enum class CodexGlobalStateStoreErrorKind {
    readFailed,  // the file could not be read, or is not JSON (carries the cause)
    writeFailed, // carries the cause
    invalidJSON, // the top level is not an object
    invalidProjectName,
    projectNotFound,
    stateChangedDuringUpdate,
};

QString errorMessage(CodexGlobalStateStoreErrorKind kind);
// readFailed and writeFailed name their cause after their sentence.
QString errorMessage(CodexGlobalStateStoreErrorKind kind, const QString &cause);

// Why Codex's global-state file could not be read or updated.
using CodexGlobalStateStoreError = KindError<CodexGlobalStateStoreErrorKind>;

} // namespace tolvaran
