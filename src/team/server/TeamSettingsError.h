#pragma once

#include "platform/Error.h"

namespace tolvaran {

enum class TeamSettingsErrorKind {
    invalidMemberName,
    invalidTeamName,
    missingKey,
    shortKey,
    credentialStorageFailure,
    alreadyMember,
};

QString errorMessage(TeamSettingsErrorKind kind);

// A team profile's settings could not be validated or its secrets could not be stored.
using TeamSettingsError = KindError<TeamSettingsErrorKind>;

} // namespace tolvaran
