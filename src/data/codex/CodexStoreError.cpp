#include "data/codex/CodexStoreError.h"

namespace tolvaran {

CodexStoreError::CodexStoreError(Kind kind, const QString &detail, const QString &sentence)
    : Error(sentence)
    , m_kind(kind)
    , m_detail(detail)
{
}

CodexStoreError CodexStoreError::databaseMissing(const QString &path)
{
    return CodexStoreError(Kind::databaseMissing, path,
                           QStringLiteral("Codex database was not found at ") + path
                               + QLatin1Char('.'));
}

CodexStoreError CodexStoreError::openFailed(const QString &message)
{
    return CodexStoreError(Kind::openFailed, message,
                           QStringLiteral("Could not open Codex database: ") + message);
}

CodexStoreError CodexStoreError::prepareFailed(const QString &message)
{
    return CodexStoreError(Kind::prepareFailed, message,
                           QStringLiteral("Could not prepare Codex query: ") + message);
}

CodexStoreError CodexStoreError::readFailed(const QString &message)
{
    return CodexStoreError(Kind::readFailed, message,
                           QStringLiteral("Could not read Codex database: ") + message);
}

} // namespace tolvaran
