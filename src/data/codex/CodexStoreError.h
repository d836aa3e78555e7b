#pragma once

#include "platform/Error.h"

#include <QString>

namespace tolvaran {

// Why Codex's thread database could not be read; each case has one user-facing sentence.
class CodexStoreError final : public Error
{
public:
    enum class Kind {
        databaseMissing, // carries the database path
        openFailed,      // carries SQLite's message
        prepareFailed,   // carries SQLite's message
        readFailed,      // carries SQLite's message: the rows stopped before their end
    };

    static CodexStoreError databaseMissing(const QString &path);
    static CodexStoreError openFailed(const QString &message);
    static CodexStoreError prepareFailed(const QString &message);
    static CodexStoreError readFailed(const QString &message);

    Kind kind() const noexcept { return m_kind; }
    // The path or SQLite message the case carries.
    const QString &detail() const noexcept { return m_detail; }

private:
    CodexStoreError(Kind kind, const QString &detail, const QString &sentence);

    Kind m_kind;
    QString m_detail;
};

} // namespace tolvaran
