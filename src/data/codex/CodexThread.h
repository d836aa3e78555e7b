#pragma once

#include "platform/Timestamp.h"

#include <QString>

#include <optional>

namespace tolvaran {

// One Codex chat, as read from Codex's thread database or restored from the project catalog.
struct CodexThread
{
    QString id;
    QString rolloutPath;
    QString cwd;
    QString title;
    std::optional<QString> customName; // trimmed; absent when blank
    QString preview;
    std::optional<QString> latestUserMessage;
    Timestamp updatedAt;
    Timestamp recencyAt; // equal to updatedAt when Codex has none
    Timestamp createdAt;
    bool archived = false;
    std::optional<QString> gitBranch;
    std::optional<QString> gitOriginURL;
    qint64 tokensUsed = 0;
    std::optional<QString> model;
    std::optional<QString> projectID;

    // The first non-empty of the trimmed custom name, title and preview, else "Untitled Chat".
    QString displayTitle() const;

    friend bool operator==(const CodexThread &, const CodexThread &) = default;
};

} // namespace tolvaran
