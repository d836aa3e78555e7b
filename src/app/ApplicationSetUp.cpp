#include "app/ApplicationSetUp.h"

#include "platform/FreedMemory.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

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

} // namespace

void setUpApplication(const QString &version)
{
    mapLargeBlocksApart();
    QApplication::setApplicationName(QStringLiteral("Tolvaran"));
    if (!version.isEmpty())
        QApplication::setApplicationVersion(version);
    QApplication::setDesktopFileName(QStringLiteral("com.ostvik.tolvaran"));
    chooseIconTheme();
}

} // namespace tolvaran
