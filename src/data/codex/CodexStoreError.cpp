#include "data/codex/CodexStoreError.h"

namespace tolvaran {

QString errorMessage(CodexStoreErrorKind kind)
{
    switch (kind) {
    case CodexStoreErrorKind::databaseMissing:
        return QStringLiteral("Codex database was not found.");
    case CodexStoreErrorKind::openFailed:
        return QStringLiteral("Could not open Codex database.");
    case CodexStoreErrorKind::prepareFailed:
        return QStringLiteral("Could not prepare Codex query.");
    case CodexStoreErrorKind::readFailed:
        return QStringLiteral("Could not read Codex database.");
    }
    Q_UNREACHABLE();
    return {};
}

QString errorMessage(CodexStoreErrorKind kind, const QString &detail)
{
    switch (kind) {
    case CodexStoreErrorKind::databaseMissing:
        return QStringLiteral("Codex database was not found at ") + detail + QLatin1Char('.');
    case CodexStoreErrorKind::openFailed:
        return QStringLiteral("Could not open Codex database: ") + detail;
    case CodexStoreErrorKind::prepareFailed:
        return QStringLiteral("Could not prepare Codex query: ") + detail;
    case CodexStoreErrorKind::readFailed:
        return QStringLiteral("Could not read Codex database: ") + detail;
    }
    Q_UNREACHABLE();
    return {};
}

} // namespace tolvaran
