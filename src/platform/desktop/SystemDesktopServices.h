#pragma once

#include "platform/desktop/DesktopServices.h"

namespace tolvaran {

// The desktop's services on a freedesktop.org desktop. Links and folders open through
// xdg-open once xdg-mime reports an application registered for them; the terminal is the
// first one TerminalEmulator finds. Everything is started detached with an argument list.
//
// Run as programs rather than through QDesktopServices so that this library stays
// QtCore-only, and because QDesktopServices cannot tell whether a handler exists: it reports
// success as soon as xdg-open starts.
class SystemDesktopServices final : public DesktopServices
{
public:
    // The longest the handler query (xdg-mime) may take.
    static constexpr int kHandlerQueryTimeoutMilliseconds = 5'000;

    using DesktopServices::openUrl;
    DesktopActionResult openUrl(const QUrl &url, const std::stop_token &stopToken) override;
    using DesktopServices::revealFolder;
    DesktopActionResult revealFolder(const QString &folder,
                                     const std::stop_token &stopToken) override;
    DesktopActionResult openTerminal(const QString &folder) override;
    DesktopActionResult runInTerminal(const QString &folder, const QString &program,
                                      const QStringList &arguments) override;
};

} // namespace tolvaran
