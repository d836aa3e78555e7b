#pragma once

#include "team/server/TeamServiceError.h"
#include "team/server/TeamSettingsError.h"
#include "team/server/TeamTransportError.h"
#include "team/wire/TeamWireError.h"

#include <type_traits>
#include <variant>

namespace tolvaran {

// How a team server call failed: exactly one error of the component that failed it. The
// server's answers and refused requests are TeamServiceError, a secret that could not be
// stored TeamSettingsError, a missing or cut answer TeamTransportError, and a successful
// answer whose body is not the record it should be TeamWireError.
class TeamCallError final
{
public:
    using Value = std::variant<TeamServiceError, TeamSettingsError, TeamTransportError,
                               TeamWireError>;

    template <typename Error>
        requires std::is_constructible_v<Value, Error>
    TeamCallError(Error error) // NOLINT: implicit, so each failure path returns its own error
        : m_value(std::move(error))
    {
    }

    // The sentence for the user.
    const QString &message() const;

    const Value &value() const { return m_value; }
    const TeamServiceError *serviceError() const
    {
        return std::get_if<TeamServiceError>(&m_value);
    }
    const TeamSettingsError *settingsError() const
    {
        return std::get_if<TeamSettingsError>(&m_value);
    }
    const TeamTransportError *transportError() const
    {
        return std::get_if<TeamTransportError>(&m_value);
    }
    const TeamWireError *decodingError() const { return std::get_if<TeamWireError>(&m_value); }

    bool isCancelled() const;

private:
    Value m_value;
};

} // namespace tolvaran
