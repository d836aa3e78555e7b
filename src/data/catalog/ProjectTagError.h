#pragma once

#include "platform/Error.h"

namespace tolvaran {

enum class ProjectTagErrorKind {
    emptyName,
    nameTooLong,
    duplicateName,
    storageFailure,
};

// The sentence the window shows for each case.
QString errorMessage(ProjectTagErrorKind kind);

// A rejected or failed tag change. The store raises only storageFailure; the other cases are
// the coordinator's name checks.
using ProjectTagError = KindError<ProjectTagErrorKind>;

} // namespace tolvaran
