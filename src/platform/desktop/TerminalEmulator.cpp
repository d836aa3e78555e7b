#include "platform/desktop/TerminalEmulator.h"

#include "platform/ProcessRunner.h"

#include <QFileInfo>

namespace tolvaran::Internal {

namespace {

// Tried in this order after x-terminal-emulator and $TERMINAL. Only terminals that take a
// program and its arguments as separate words are listed: those that take the command as
// one string would need it quoted for a shell.
const QStringList kCommonTerminals = {
    QStringLiteral("gnome-terminal"), QStringLiteral("konsole"),
    QStringLiteral("xfce4-terminal"), QStringLiteral("mate-terminal"),
    QStringLiteral("kitty"),          QStringLiteral("alacritty"),
    QStringLiteral("foot"),           QStringLiteral("xterm"),
};

const QString kSystemTerminal = QStringLiteral("x-terminal-emulator");

} // namespace

std::optional<TerminalEmulator> TerminalEmulator::find()
{
    // Debian's alternative promises the xterm convention (-e program arguments), whatever
    // terminal it points at, so it is always driven as Generic.
    const QString system = ProcessRunner::findExecutable(kSystemTerminal);
    if (!system.isEmpty())
        return TerminalEmulator(system, Family::Generic);

    const QString chosen = qEnvironmentVariable("TERMINAL").trimmed();
    if (!chosen.isEmpty()) {
        const QString program = ProcessRunner::findExecutable(chosen);
        if (!program.isEmpty())
            return TerminalEmulator(program, familyOf(QFileInfo(program).fileName()));
    }

    for (const QString &name : kCommonTerminals) {
        const QString program = ProcessRunner::findExecutable(name);
        if (!program.isEmpty())
            return TerminalEmulator(program, familyOf(name));
    }
    return std::nullopt;
}

TerminalEmulator::Family TerminalEmulator::familyOf(const QString &fileName)
{
    if (fileName == QLatin1String("gnome-terminal"))
        return Family::Gnome;
    if (fileName == QLatin1String("konsole"))
        return Family::Konsole;
    if (fileName == QLatin1String("xfce4-terminal") || fileName == QLatin1String("mate-terminal"))
        return Family::XfceOrMate;
    if (fileName == QLatin1String("kitty"))
        return Family::Kitty;
    if (fileName == QLatin1String("alacritty"))
        return Family::Alacritty;
    if (fileName == QLatin1String("foot"))
        return Family::Foot;
    return Family::Generic;
}

TerminalEmulator::TerminalEmulator(QString program, Family family)
    : m_program(std::move(program))
    , m_family(family)
{
}

QStringList TerminalEmulator::argumentsToOpen(const QString &folder) const
{
    switch (m_family) {
    case Family::Generic:
        return {};
    case Family::Gnome:
    case Family::XfceOrMate:
    case Family::Foot:
        return {QStringLiteral("--working-directory=") + folder};
    case Family::Konsole:
        return {QStringLiteral("--workdir"), folder};
    case Family::Kitty:
        return {QStringLiteral("--directory"), folder};
    case Family::Alacritty:
        return {QStringLiteral("--working-directory"), folder};
    }
    return {};
}

QStringList TerminalEmulator::argumentsToRun(const QString &folder,
                                             const QStringList &command) const
{
    // Several terminals (konsole, Debian's gnome-terminal wrapper behind x-terminal-emulator)
    // read a lone word after -e as a command line and split it, so a program whose path holds
    // a space would break. A fixed script that runs its own arguments always puts more than
    // one word there; the program and its arguments reach it as they are, never spliced.
    const QStringList wrapped = QStringList{QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                                            QStringLiteral("exec \"$0\" \"$@\"")}
                                + command;
    QStringList arguments = argumentsToOpen(folder);
    switch (m_family) {
    case Family::Generic:
    case Family::Konsole:
    case Family::Alacritty:
        arguments << QStringLiteral("-e");
        break;
    case Family::Gnome:
        arguments << QStringLiteral("--");
        break;
    case Family::XfceOrMate:
        arguments << QStringLiteral("-x");
        break;
    case Family::Kitty:
    case Family::Foot:
        break;
    }
    return arguments + wrapped;
}

} // namespace tolvaran::Internal
