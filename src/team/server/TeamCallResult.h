#pragma once

#include "team/server/TeamCallError.h"

#include <optional>
#include <utility>
#include <variant>

namespace tolvaran {

// What a team server call ends with: its value, or how it failed. Calls without a value
// end with TeamCallResult<std::monostate>.
template <typename Value>
class TeamCallResult final
{
public:
    TeamCallResult(Value value)
        : m_outcome(std::in_place_index<0>, std::move(value))
    {
    }
    TeamCallResult(TeamCallError error)
        : m_outcome(std::in_place_index<1>, std::move(error))
    {
    }

    bool succeeded() const { return m_outcome.index() == 0; }
    explicit operator bool() const { return succeeded(); }

    // Only on success.
    const Value &value() const { return std::get<0>(m_outcome); }
    Value &value() { return std::get<0>(m_outcome); }
    // Only on failure.
    const TeamCallError &error() const { return std::get<1>(m_outcome); }

private:
    std::variant<Value, TeamCallError> m_outcome;
};

using TeamCallCompletion = TeamCallResult<std::monostate>;

} // namespace tolvaran
