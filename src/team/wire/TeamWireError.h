#pragma once

#include "platform/Error.h"

namespace tolvaran {

// A team message that could not be read or written.
class TeamWireError final : public Error
{
public:
    enum class Kind {
        malformed,     // not JSON, or trailing bytes after the document
        limitExceeded, // beyond one of TeamWireLimits
        invalidRecord, // JSON, but a required member is missing, null or mistyped
        unencodable,   // a value JSON cannot carry (a NaN or infinite number)
    };

    TeamWireError(Kind kind, QString message)
        : Error(std::move(message))
        , m_kind(kind)
    {
    }

    Kind kind() const noexcept { return m_kind; }

private:
    Kind m_kind;
};

} // namespace tolvaran
