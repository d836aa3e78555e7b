#pragma once

#include "platform/Error.h"

#include <QString>

namespace tolvaran {

// Why Codex's global-state file could not be read or updated; one user-facing sentence each.
class CodexGlobalStateStoreError final : public Error
{
public:
    enum class Kind {
        readFailed, // the file could not be read, or is not JSON (carries the cause)
        writeFailed, // carries the cause
        invalidJSON, // the top level is not an object
        invalidProjectName,
        projectNotFound,
        stateChangedDuringUpdate,
    };

    static CodexGlobalStateStoreError readFailed(const QString &cause);
    static CodexGlobalStateStoreError writeFailed(const QString &cause);
    static CodexGlobalStateStoreError invalidJSON();
    static CodexGlobalStateStoreError invalidProjectName();
    static CodexGlobalStateStoreError projectNotFound();
    static CodexGlobalStateStoreError stateChangedDuringUpdate();

    Kind kind() const noexcept { return m_kind; }

private:
    CodexGlobalStateStoreError(Kind kind, const QString &sentence);

    Kind m_kind;
};

} // namespace tolvaran
