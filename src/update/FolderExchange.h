#pragma once

#include <optional>

namespace tolvaran {

// The program's helper modes for the installer script, which runs the installed copy's own
// program for them: the one that wrote the script, so the modes are certain to be there, and
// that has just run on this computer.
//   tolvaran --exchange-folders A B
//       swaps the two folders in one step of the file system (AtomicRenameMode::exchange), so
//       that A holds one of the two at every moment, whatever ends the script.
//   tolvaran --replace-folder DESTINATION NEW ASIDE
//       where the file system cannot exchange: moves DESTINATION (when it exists) to ASIDE and
//       NEW to DESTINATION with two renames back to back, putting DESTINATION back when the
//       second fails. DESTINATION is missing only between the two system calls, not for the
//       time it takes to start a program between them.
namespace FolderExchange {

inline constexpr char argument[] = "--exchange-folders";
inline constexpr char replaceArgument[] = "--replace-folder";

// Exit statuses.
inline constexpr int exchanged = 0;
inline constexpr int replaced = 0;
inline constexpr int failed = 1;      // a folder is missing, or the change is not allowed
inline constexpr int unsupported = 3; // the file system has no exchange: replace instead

// Runs a helper mode when the command line asks for one (before anything else of the program
// starts) and returns its exit status; nothing otherwise. A failure is explained on standard
// error.
std::optional<int> runIfAsked(int argc, char *argv[]);

} // namespace FolderExchange
} // namespace tolvaran
