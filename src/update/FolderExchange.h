#pragma once

#include <optional>

namespace tolvaran {

// The program's helper mode for the installer script: "tolvaran --exchange-folders A B" swaps
// the two folders in one step of the file system (AtomicRenameMode::exchange), so that the
// install path holds the old copy or the new one at every moment, whatever ends the script.
// The script runs the installed copy's own program for it: the one that wrote the script,
// so the mode is certain to be there, and that has just run on this computer.
namespace FolderExchange {

inline constexpr char argument[] = "--exchange-folders";

// Exit statuses.
inline constexpr int exchanged = 0;
inline constexpr int failed = 1;      // a folder is missing, or the change is not allowed
inline constexpr int unsupported = 3; // the file system has no exchange: rename instead

// Runs the helper mode when the command line asks for it (before anything else of the
// program starts) and returns its exit status; nothing otherwise. A failure is explained on
// standard error.
std::optional<int> runIfAsked(int argc, char *argv[]);

} // namespace FolderExchange
} // namespace tolvaran
