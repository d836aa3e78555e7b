#pragma once

#include "platform/Error.h"

namespace tolvaran {

// A failure of the token-usage index, with one user-facing sentence per case.
class TokenUsageError final : public Error
{
public:
    enum class Case {
        databaseOpenFailed,
        databaseReadFailed,
        databaseWriteFailed,
        folderCreationFailed,
    };

    explicit TokenUsageError(Case errorCase);

    Case errorCase() const noexcept { return m_case; }

    friend bool operator==(const TokenUsageError &a, const TokenUsageError &b) noexcept
    {
        return a.m_case == b.m_case;
    }

private:
    Case m_case;
};

} // namespace tolvaran
