#pragma once

#include "platform/Error.h"

namespace tolvaran {

// A team server call that failed with an answer of the server, or was refused before it was
// sent. Its message is the sentence the team screens show.
class TeamServiceError final : public Error
{
public:
    enum class Kind {
        serverMessage, // the server's own sentence (or the fallback below), unchanged
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

    explicit TeamServiceError(Kind kind)
        : Error(messageFor(kind))
        , m_kind(kind)
    {
    }

    // A serverMessage carrying `sentence` as it came.
    static TeamServiceError serverMessage(const QString &sentence)
    {
        return TeamServiceError(Kind::serverMessage, sentence);
    }

    Kind kind() const noexcept { return m_kind; }

    // The fixed sentence of `kind`; empty for serverMessage, whose sentence is its payload.
    static QString messageFor(Kind kind);

    friend bool operator==(const TeamServiceError &a, const TeamServiceError &b)
    {
        return a.m_kind == b.m_kind && a.message() == b.message();
    }

private:
    TeamServiceError(Kind kind, const QString &sentence)
        : Error(sentence)
        , m_kind(kind)
    {
    }

    Kind m_kind;
};

} // namespace tolvaran
