#include "app/ApplicationSetUp.h"

#include "platform/FreedMemory.h"
#include "widgets/ButtonActivationKeys.h"
#include "widgets/FocusIndicatorStyle.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QImageReader>

namespace tolvaran {

namespace {

void chooseIconTheme()
{
    const QString current = QIcon::themeName();
    if (!current.isEmpty() && current != QLatin1String("hicolor"))
        return;
    for (const char *candidate : {"Adwaita", "breeze", "Papirus"}) {
        for (const QString &folder : QIcon::themeSearchPaths()) {
            if (QDir(folder + QLatin1Char('/') + QLatin1String(candidate)).exists()) {
                QIcon::setThemeName(QLatin1String(candidate));
                return;
            }
        }
    }
}

// The program carries its icon in every rendered size (the entry point links them in as
// resources), so the window shows it whether or not an installed copy of it is in the icon
// theme.
void setWindowIcon()
{
    QIcon icon;
    const QDir folder(QStringLiteral(":/window-icon"));
    for (const QString &name : folder.entryList({QStringLiteral("*.png")}, QDir::Files))
        icon.addFile(folder.filePath(name), QImageReader(folder.filePath(name)).size());
    if (!icon.isNull())
        QApplication::setWindowIcon(icon);
}

} // namespace

void setUpApplication(const QString &version)
{
    mapLargeBlocksApart();
    QApplication::setApplicationName(QStringLiteral("Tolvaran"));
    if (!version.isEmpty())
        QApplication::setApplicationVersion(version);
    QApplication::setDesktopFileName(QStringLiteral("com.ostvik.tolvaran"));
    chooseIconTheme();
    setWindowIcon();
    FocusIndicatorStyle::install();
    ButtonActivationKeys::install();
}

} // namespace tolvaran
