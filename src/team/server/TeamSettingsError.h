#pragma once

#include "platform/Error.h"

namespace tolvaran {

// A team profile's settings could not be validated or its secrets could not be stored.
class TeamSettingsError final : public Error
{
public:
    enum class Kind {
        invalidMemberName,
        invalidTeamName,
        missingKey,
        shortKey,
        credentialStorageFailure,
        alreadyMember,
    };

    explicit TeamSettingsError(Kind kind)
        : Error(messageFor(kind))
        , m_kind(kind)
    {
    }

    Kind kind() const noexcept { return m_kind; }

    static QString messageFor(Kind kind);

    friend bool operator==(const TeamSettingsError &a, const TeamSettingsError &b) noexcept
    {
        return a.m_kind == b.m_kind;
    }

private:
    Kind m_kind;
};

} // namespace tolvaran
