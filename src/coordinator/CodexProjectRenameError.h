#pragma once

#include "platform/Error.h"

namespace tolvaran {

// Why a project could not be renamed in Codex, beyond the stores' own errors.
class CodexProjectRenameError final : public Error
{
public:
    enum class Kind {
        couldNotCloseCodex, // an instance was still running when the wait ended
        renameInProgress,   // another rename has not finished yet
    };

    explicit CodexProjectRenameError(Kind kind);

    Kind kind() const noexcept { return m_kind; }

private:
    Kind m_kind;
};

} // namespace tolvaran
