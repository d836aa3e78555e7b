#include "data/codex/CodexGlobalStateStoreError.h"

namespace tolvaran {

CodexGlobalStateStoreError::CodexGlobalStateStoreError(Kind kind, const QString &sentence)
    : Error(sentence)
    , m_kind(kind)
{
}

CodexGlobalStateStoreError CodexGlobalStateStoreError::readFailed(const QString &cause)
{
    return {Kind::readFailed, QStringLiteral("Could not read Codex global state: ") + cause};
}

CodexGlobalStateStoreError CodexGlobalStateStoreError::writeFailed(const QString &cause)
{
    return {Kind::writeFailed, QStringLiteral("Could not update Codex global state: ") + cause};
}

CodexGlobalStateStoreError CodexGlobalStateStoreError::invalidJSON()
{
    return {Kind::invalidJSON, QStringLiteral("Codex global state is not a JSON object.")};
}

CodexGlobalStateStoreError CodexGlobalStateStoreError::invalidProjectName()
{
    return {Kind::invalidProjectName,
            QStringLiteral("Enter a project name between 1 and 80 characters.")};
}

CodexGlobalStateStoreError CodexGlobalStateStoreError::projectNotFound()
{
    return {Kind::projectNotFound, QStringLiteral("Codex could not find this project record.")};
}

CodexGlobalStateStoreError CodexGlobalStateStoreError::stateChangedDuringUpdate()
{
    return {Kind::stateChangedDuringUpdate,
            QStringLiteral("Codex changed its global state while it was being updated. "
                           "Please try again.")};
}

} // namespace tolvaran
