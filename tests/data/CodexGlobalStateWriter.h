#pragma once

#include "support/RestartedTestProgram.h"

#include <QString>

#include <memory>
#include <optional>

namespace tolvaran::fixtures {

// A second process changing Codex's global-state file over and over through the store (it
// pins and unpins a folder in turn), so that a test can kill or stop it in the middle of a
// write. It is this test program started again in a mode of its own (runIfAsked, called first
// thing by main).
class CodexGlobalStateWriter final
{
public:
    // Starts a writer of the file at `statePath` and returns once it has changed it once. A
    // failed write ends it. Throws std::runtime_error.
    static std::unique_ptr<RestartedTestProgram> start(const QString &statePath);

    // The writer's side: when `argv` asks for a writer, writes until killed and returns the
    // exit code of a failed write; otherwise nothing.
    static std::optional<int> runIfAsked(int argc, char *argv[]);
};

} // namespace tolvaran::fixtures
