#include "coordinator/actions/CodexProjectRenameError.h"

namespace tolvaran {

QString errorMessage(CodexProjectRenameErrorKind kind)
{
    switch (kind) {
    case CodexProjectRenameErrorKind::couldNotCloseCodex:
        return QStringLiteral("Codex did not close, so the project was not renamed. "
                              "Close Codex and try again.");
    case CodexProjectRenameErrorKind::renameInProgress:
        return QStringLiteral("Another project is being renamed. Try again when it is done.");
    }
    Q_UNREACHABLE();
    return {};
}

} // namespace tolvaran
