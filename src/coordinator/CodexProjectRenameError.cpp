#include "coordinator/CodexProjectRenameError.h"

namespace tolvaran {

namespace {

QString messageFor(CodexProjectRenameError::Kind kind)
{
    switch (kind) {
    case CodexProjectRenameError::Kind::couldNotCloseCodex:
        return QStringLiteral("Codex did not close, so the project was not renamed. "
                              "Close Codex and try again.");
    case CodexProjectRenameError::Kind::renameInProgress:
        return QStringLiteral("Another project is being renamed. Try again when it is done.");
    }
    Q_UNREACHABLE();
    return {};
}

} // namespace

CodexProjectRenameError::CodexProjectRenameError(Kind kind)
    : Error(messageFor(kind))
    , m_kind(kind)
{
}

} // namespace tolvaran
