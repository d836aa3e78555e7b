#pragma once

#include "platform/Error.h"

#include <QString>

namespace tolvaran {

enum class CodexStoreErrorKind {
    databaseMissing, // carries the database path
    openFailed,      // carries SQLite's message
    prepareFailed,   // carries SQLite's message
    readFailed,      // carries SQLite's message: the rows stopped before their end
};

QString errorMessage(CodexStoreErrorKind kind);
// The sentence with the path or SQLite message the kind carries.
QString errorMessage(CodexStoreErrorKind kind, const QString &detail);

// Why Codex's thread database could not be read.
using CodexStoreError = KindError<CodexStoreErrorKind>;

} // namespace tolvaran
