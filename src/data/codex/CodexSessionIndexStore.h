#pragma once

#include "data/codex/CodexFileAttributes.h"

#include <QHash>
#include <QString>

#include <mutex>
#include <optional>

namespace tolvaran {

// Reads the names the user gave to Codex chats from Codex's session index, a JSON-lines file
// ("session_index.jsonl") that Codex only appends to: one {"id": …, "thread_name": …} object
// per line, the last line for an id winning. The file is read again only when its size or
// modification time changes. Safe to call from any thread.
class CodexSessionIndexStore final
{
public:
    // The largest index read; a larger one (or anything but a regular file) is not read, and
    // the names read before stay. Real indexes hold one short line per rename.
    static constexpr qint64 maximumFileBytes = 64 * 1024 * 1024;

    explicit CodexSessionIndexStore(QString path);

    // Thread id to trimmed chat name from the index's bytes (see loadThreadNames).
    static QHash<QString, QString> parseThreadNames(const QByteArray &contents);

    const QString &path() const { return m_path; }

    // Thread id to trimmed chat name. Never fails: a missing file gives an empty map (and
    // forgets the cache), a file that cannot be read (logged) gives the last map read, and
    // lines that are malformed or carry no usable name are skipped.
    QHash<QString, QString> loadThreadNames();

private:
    struct Cache
    {
        Internal::CodexFileAttributes attributes;
        QHash<QString, QString> namesByThreadID;
    };

    const QString m_path;
    std::mutex m_lock; // guards m_cache and serialises whole loads
    std::optional<Cache> m_cache;
};

} // namespace tolvaran
