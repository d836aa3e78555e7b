#pragma once

#include "platform/desktop/CodexApplicationInstance.h"

#include <QList>

#include <optional>

namespace tolvaran {

// The outcome of asking every running Codex desktop application to quit.
struct CodexApplicationQuitResult
{
    QList<CodexApplicationInstance> askedToQuit; // in the order they were found
    QList<CodexApplicationInstance> stillRunning; // those that had not quit in time

    bool allQuit() const { return stillRunning.isEmpty(); }

    // The instance to start again afterwards: the first one asked, once every one has quit.
    // None when none was running, and none while any still runs (Codex is then left alone).
    std::optional<CodexApplicationInstance> reopenTarget() const
    {
        if (askedToQuit.isEmpty() || !allQuit())
            return std::nullopt;
        return askedToQuit.first();
    }

    bool operator==(const CodexApplicationQuitResult &) const = default;
};

} // namespace tolvaran
