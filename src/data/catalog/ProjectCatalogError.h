#pragma once

#include "platform/Error.h"

namespace tolvaran {

enum class ProjectCatalogErrorKind {
    databaseOpenFailed,
    databaseReadFailed,
    databaseWriteFailed,
};

// The sentence the window shows for each case.
QString errorMessage(ProjectCatalogErrorKind kind);

// A failure of the project catalog. The cause (SQLite's own message) goes to the log only.
using ProjectCatalogError = KindError<ProjectCatalogErrorKind>;

} // namespace tolvaran
