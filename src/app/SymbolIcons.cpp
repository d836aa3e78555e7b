#include "app/SymbolIcons.h"

#include <QApplication>
#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <QStandardPaths>
#include <QStyle>

namespace tolvaran {

namespace {

const QString fallbackIconTheme = QStringLiteral("Adwaita");

struct SymbolEntry
{
    const char *themeName;
    QStyle::StandardPixmap fallback;
};

const QHash<QString, SymbolEntry> &symbolTable()
{
    static const QHash<QString, SymbolEntry> table{
        {QStringLiteral("pencil"), {"document-edit-symbolic", QStyle::SP_FileDialogDetailedView}},
        {QStringLiteral("tag"), {"bookmark-new-symbolic", QStyle::SP_FileDialogInfoView}},
        {QStringLiteral("tag.fill"), {"user-bookmarks-symbolic", QStyle::SP_FileDialogInfoView}},
        {QStringLiteral("star"), {"non-starred-symbolic", QStyle::SP_DialogNoButton}},
        {QStringLiteral("star.fill"), {"starred-symbolic", QStyle::SP_DialogYesButton}},
        {QStringLiteral("arrow.up.right.square"), {"window-new-symbolic", QStyle::SP_ArrowRight}},
        {QStringLiteral("folder"), {"folder-symbolic", QStyle::SP_DirIcon}},
        {QStringLiteral("terminal"), {"utilities-terminal-symbolic", QStyle::SP_ComputerIcon}},
        {QStringLiteral("bell.fill"),
         {"preferences-system-notifications-symbolic", QStyle::SP_MessageBoxInformation}},
        {QStringLiteral("gearshape.2.fill"), {"emblem-system-symbolic", QStyle::SP_BrowserReload}},
        {QStringLiteral("bubble.left.and.text.bubble.right"),
         {"chat-message-new-symbolic", QStyle::SP_FileDialogContentsView}},
        {QStringLiteral("chevron.down"), {"pan-down-symbolic", QStyle::SP_ArrowDown}},
        {QStringLiteral("plus"), {"list-add-symbolic", QStyle::SP_FileDialogNewFolder}},
        {QStringLiteral("text.bubble"), {"mail-unread-symbolic", QStyle::SP_FileIcon}},
    };
    return table;
}

// Without a desktop session (a bare X server, the offscreen platform) Qt knows no icon theme
// and searches only its resources; then the system's icon folders are added and the theme the
// setup script installs is used.
void prepareIconTheme()
{
    QStringList paths = QIcon::themeSearchPaths();
    const QStringList systemFolders = QStandardPaths::locateAll(
        QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
        QStandardPaths::LocateDirectory);
    for (const QString &folder : systemFolders) {
        if (!paths.contains(folder))
            paths.append(folder);
    }
    QIcon::setThemeSearchPaths(paths);
    const QString theme = QIcon::themeName();
    if (theme.isEmpty() || theme == QStringLiteral("hicolor"))
        QIcon::setThemeName(fallbackIconTheme);
    if (QIcon::fallbackThemeName().isEmpty())
        QIcon::setFallbackThemeName(fallbackIconTheme);
}

} // namespace

QIcon cardSymbolIcon(const QString &symbolName)
{
    static const bool themePrepared = (prepareIconTheme(), true);
    Q_UNUSED(themePrepared);
    static QHash<QString, QIcon> cache;
    const auto cached = cache.constFind(symbolName);
    if (cached != cache.constEnd())
        return *cached;
    QIcon icon;
    const auto entry = symbolTable().constFind(symbolName);
    if (entry != symbolTable().constEnd()) {
        const QString themeName = QString::fromLatin1(entry->themeName);
        if (QIcon::hasThemeIcon(themeName))
            icon = QIcon::fromTheme(themeName);
        else if (qApp)
            icon = QApplication::style()->standardIcon(entry->fallback);
    }
    cache.insert(symbolName, icon);
    return icon;
}

QIcon tintedSymbolIcon(const QString &symbolName, const QColor &color)
{
    static QHash<std::pair<QString, QRgb>, QIcon> cache;
    const std::pair<QString, QRgb> key{symbolName, color.rgba()};
    const auto cached = cache.constFind(key);
    if (cached != cache.constEnd())
        return *cached;
    const QIcon icon = cardSymbolIcon(symbolName);
    QIcon result;
    for (const int side : {16, 24, 32, 48}) {
        QPixmap pixmap = icon.pixmap(side, side);
        if (pixmap.isNull())
            continue;
        QPainter painter(&pixmap);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(pixmap.rect(), color);
        painter.end();
        result.addPixmap(pixmap);
    }
    cache.insert(key, result);
    return result;
}

} // namespace tolvaran
