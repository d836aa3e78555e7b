#pragma once

#include "platform/Error.h"

namespace tolvaran {

enum class TeamServiceErrorKind {
    serverMessage, // carries the server's own sentence, shown unchanged
    invalidSettings,
    invalidResponse,
    registrationFailed,
    notRegistered,
    connectionFailed,
    teamUpdateFailed,
    // The server address is plain http to another computer: every request would carry the
    // team's credentials unencrypted.
    insecureServerURL,
    // A device ID that cannot stand as one segment of a request path.
    invalidDeviceID,
};

QString errorMessage(TeamServiceErrorKind kind);
// serverMessage: the server's sentence as it came; any other kind: its fixed sentence.
QString errorMessage(TeamServiceErrorKind kind, const QString &serverSentence);

// A team server call that failed with an answer of the server, or was refused before it was
// sent. Its message is the sentence the team screens show.
using TeamServiceError = KindError<TeamServiceErrorKind>;

} // namespace tolvaran
