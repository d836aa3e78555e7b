#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace tolvaran::Internal {

// The desktop's terminal application and how to tell it where to work and what to run.
// Terminals differ in their flags; each is told the folder through its own flag where it has
// one, and is always started with the folder as its working directory too.
class TerminalEmulator final
{
public:
    // How a terminal takes its folder and its command.
    enum class Family {
        Generic,      // -e program arguments... (Debian's x-terminal-emulator, xterm)
        Gnome,        // --working-directory=DIR -- program arguments...
        Konsole,      // --workdir DIR -e program arguments...
        XfceOrMate,   // --working-directory=DIR -x program arguments...
        Kitty,        // --directory DIR program arguments...
        Alacritty,    // --working-directory DIR -e program arguments...
        Foot,         // --working-directory=DIR program arguments...
    };

    // The first terminal found: x-terminal-emulator (the system's chosen one), then the
    // program named by $TERMINAL, then a short list of common terminals, each on PATH.
    static std::optional<TerminalEmulator> find();

    // The family of the terminal whose executable is named `fileName`; Generic when unknown.
    static Family familyOf(const QString &fileName);

    TerminalEmulator(QString program, Family family);

    const QString &program() const { return m_program; }

    // Arguments that open the terminal with its shell working in `folder`.
    QStringList argumentsToOpen(const QString &folder) const;
    // Arguments that open the terminal in `folder` running `command` (program first).
    QStringList argumentsToRun(const QString &folder, const QStringList &command) const;

private:
    QString m_program;
    Family m_family;
};

} // namespace tolvaran::Internal
