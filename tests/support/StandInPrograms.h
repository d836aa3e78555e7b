#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace tolvaran::fixtures {

class ScopedEnvironment;
class TemporaryHome;

// Programs that stand in for the desktop's own (terminals, xdg-open, Codex) in a test's
// folder, put first on PATH by the test. A recording program writes where it ran and what it
// was given to a record file, so a test can check what really reached a started program.

// What a recording program was started with.
struct ProgramRecord
{
    QString workingDirectory; // physical path, symbolic links resolved
    QStringList arguments;    // without the program name
};

// A desktop with nothing of the machine's own: makes `home`/bin, puts it alone on PATH and
// unsets TERMINAL, both for as long as `environment` lives. Returns the folder, where the test
// writes its stand-in programs.
QString useOnlyStandInPrograms(const TemporaryHome &home, ScopedEnvironment &environment);
// The same, and the Codex command line is looked for only there: HOME is `home` and npm's
// global prefix is unset, so a Codex the machine installed through npm is not found.
QString useOnlyStandInCodex(const TemporaryHome &home, ScopedEnvironment &environment);

// Writes an executable shell script `directory`/`name` running `body` and returns its path.
QString writeScript(const QString &directory, const QString &name, const QString &body);

// Writes a program that records its folder and arguments to `recordPath`. With
// `runsCommandAfterDashE`, it then behaves as a terminal does with "-e program arguments...":
// it runs that program with those arguments.
QString writeRecordingProgram(const QString &directory, const QString &name,
                              const QString &recordPath, bool runsCommandAfterDashE = false);

// The record a recording program wrote to `recordPath`, once it has been written completely;
// none when nothing was recorded before `deadline`.
std::optional<ProgramRecord> waitForRecord(const QString &recordPath,
                                           std::chrono::milliseconds deadline
                                           = std::chrono::seconds(30));

// A copy of the system's sleep program at `directory`/`name`: a real process whose executable
// has a name of the test's choosing.
QString copyOfSleep(const QString &directory, const QString &name);

// `text` as one word for the shell: in single quotes, each single quote written as '\''.
QString shellQuoted(const QString &text);

} // namespace tolvaran::fixtures
