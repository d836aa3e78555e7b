#pragma once

#include "platform/desktop/DesktopServices.h"

#include <QList>
#include <QSet>

namespace tolvaran::fixtures {

// A desktop that opens nothing and records every request. A link opens when its scheme is in
// `handledSchemes`; the other operations answer with the result set for them (opened unless a
// test says otherwise).
class FakeDesktopServices final : public DesktopServices
{
public:
    struct TerminalRun
    {
        QString folder;
        QString program;
        QStringList arguments;
        bool operator==(const TerminalRun &) const = default;
    };

    using DesktopServices::openUrl;
    DesktopActionResult openUrl(const QUrl &url, const std::stop_token &stopToken) override;
    using DesktopServices::revealFolder;
    DesktopActionResult revealFolder(const QString &folder, const std::stop_token &) override;
    DesktopActionResult openTerminal(const QString &folder) override;
    DesktopActionResult runInTerminal(const QString &folder, const QString &program,
                                      const QStringList &arguments) override;

    // Behaviour.
    QSet<QString> handledSchemes;
    DesktopActionResult revealResult = DesktopActionResult::success();
    DesktopActionResult terminalResult = DesktopActionResult::success();

    // Every request, in order, including those that opened nothing.
    QList<QUrl> openedUrls;
    QStringList revealedFolders;
    QStringList terminalFolders; // openTerminal
    QList<TerminalRun> terminalRuns;
};

} // namespace tolvaran::fixtures
