#pragma once

#include <QString>

namespace tolvaran {

// Where Codex keeps what the program reads, in one place: the file names inside Codex's
// folder, and which of their changes ask for a full refresh of the project list (the thread
// database with its log and index, and the global state). Rollout files live elsewhere: each
// thread records its own path.
class CodexFileLayout final
{
public:
    static inline const QString databaseFileName = QStringLiteral("state_5.sqlite");
    static inline const QString sessionIndexFileName = QStringLiteral("session_index.jsonl");
    static inline const QString globalStateFileName = QStringLiteral(".codex-global-state.json");

    // `folder`: Codex's folder (codexHomeDirectory() for the user's own).
    explicit CodexFileLayout(QString folder);

    const QString &folder() const { return m_folder; }
    QString databasePath() const;
    QString sessionIndexPath() const;
    QString globalStatePath() const;

    // Whether a change of the file called `fileName` in Codex's folder changes Codex's
    // threads, pins, unread chats or project names.
    static bool asksForFullRefresh(const QString &fileName);

private:
    QString m_folder;
};

} // namespace tolvaran
