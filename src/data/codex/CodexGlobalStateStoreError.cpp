#include "data/codex/CodexGlobalStateStoreError.h"

namespace tolvaran {

namespace {

QString stem(CodexGlobalStateStoreErrorKind kind)
{
    return kind == CodexGlobalStateStoreErrorKind::readFailed
        ? QStringLiteral("Could not read Codex global state")
        : QStringLiteral("Could not update Codex global state");
}

} // namespace

QString errorMessage(CodexGlobalStateStoreErrorKind kind)
{
    using Kind = CodexGlobalStateStoreErrorKind;
    switch (kind) {
    case Kind::readFailed:
    case Kind::writeFailed:
        return stem(kind) + QLatin1Char('.');
    case Kind::invalidJSON:
        return QStringLiteral("Codex global state is not a JSON object.");
    case Kind::invalidProjectName:
        return QStringLiteral("Enter a project name between 1 and 80 characters.");
    case Kind::projectNotFound:
        return QStringLiteral("Codex could not find this project record.");
    case Kind::stateChangedDuringUpdate:
        return QStringLiteral("Codex changed its global state while it was being updated. "
                              "Please try again.");
    }
    Q_UNREACHABLE();
    return {};
}

QString errorMessage(CodexGlobalStateStoreErrorKind kind, const QString &cause)
{
    if (kind == CodexGlobalStateStoreErrorKind::readFailed
        || kind == CodexGlobalStateStoreErrorKind::writeFailed)
        return stem(kind) + QStringLiteral(": ") + cause;
    return errorMessage(kind);
}

} // namespace tolvaran
