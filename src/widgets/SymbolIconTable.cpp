#include "widgets/SymbolIconTable.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

#include <array>

namespace tolvaran {

namespace {

struct SymbolEntry
{
    const char *symbol;
    std::array<const char *, 3> themeNames; // null entries end the list
    QStyle::StandardPixmap fallback;
};

// Every symbol the window shows. The symbolic variants come first because they suit small
// toolbar buttons; the plain names are the ones older and non-GNOME themes carry.
const std::array<SymbolEntry, 50> symbolTable{{
    {"sidebar.left", {"sidebar-show-symbolic", "view-sidebar", nullptr},
     QStyle::SP_FileDialogListView},
    {"plus", {"list-add-symbolic", "list-add", nullptr}, QStyle::SP_FileDialogNewFolder},
    {"arrow.clockwise", {"view-refresh-symbolic", "view-refresh", nullptr},
     QStyle::SP_BrowserReload},
    {"ellipsis.circle", {"view-more-symbolic", "view-more", nullptr},
     QStyle::SP_ToolBarHorizontalExtensionButton},
    {"ellipsis", {"view-more-horizontal-symbolic", "view-more-horizontal", nullptr},
     QStyle::SP_ToolBarHorizontalExtensionButton},
    {"chevron.left", {"go-previous-symbolic", "go-previous", nullptr}, QStyle::SP_ArrowLeft},
    {"chevron.right", {"go-next-symbolic", "go-next", nullptr}, QStyle::SP_ArrowRight},
    {"chevron.down", {"pan-down-symbolic", "go-down", nullptr}, QStyle::SP_ArrowDown},
    {"xmark", {"window-close-symbolic", "window-close", nullptr},
     QStyle::SP_DialogCloseButton},
    {"person.2", {"system-users-symbolic", "system-users", nullptr}, QStyle::SP_DirHomeIcon},
    {"person.2.fill", {"system-users-symbolic", "system-users", nullptr},
     QStyle::SP_DirHomeIcon},
    {"person.2.badge.plus", {"contact-new-symbolic", "contact-new", nullptr},
     QStyle::SP_DirHomeIcon},
    {"person.crop.circle.fill", {"avatar-default-symbolic", "avatar-default", nullptr},
     QStyle::SP_DirHomeIcon},
    {"arrow.down.circle.fill",
     {"software-update-available-symbolic", "software-update-available", nullptr},
     QStyle::SP_ArrowDown},
    {"point.3.connected.trianglepath.dotted", {"emblem-shared-symbolic", "emblem-shared", nullptr},
     QStyle::SP_CommandLink},
    {"tag.fill", {"tag-symbolic", "tag", "user-bookmarks-symbolic"}, QStyle::SP_FileIcon},
    {"bell.fill",
     {"preferences-system-notifications-symbolic", "preferences-system-notifications",
      "mail-unread"},
     QStyle::SP_MessageBoxInformation},
    {"gearshape.fill", {"emblem-system-symbolic", "emblem-system", nullptr},
     QStyle::SP_ComputerIcon},
    {"gearshape.2.fill", {"emblem-system-symbolic", "emblem-system", nullptr},
     QStyle::SP_ComputerIcon},
    {"star.fill", {"starred-symbolic", "starred", nullptr}, QStyle::SP_DialogYesButton},
    {"doc.text", {"text-x-generic-symbolic", "text-x-generic", nullptr}, QStyle::SP_FileIcon},
    {"doc.text.magnifyingglass", {"edit-find-symbolic", "edit-find", nullptr},
     QStyle::SP_FileDialogContentsView},
    {"text.bubble", {"mail-message-new-symbolic", "mail-message-new", nullptr},
     QStyle::SP_MessageBoxInformation},
    {"bubble.left.and.text.bubble.right", {"mail-message-new-symbolic", "mail-message-new",
                                           nullptr},
     QStyle::SP_MessageBoxInformation},
    {"clock.arrow.circlepath", {"document-open-recent-symbolic", "document-open-recent",
                                nullptr},
     QStyle::SP_BrowserReload},
    {"chart.bar", {"x-office-spreadsheet-symbolic", "x-office-spreadsheet", nullptr},
     QStyle::SP_FileDialogDetailedView},
    {"chart.bar.xaxis", {"x-office-spreadsheet-symbolic", "x-office-spreadsheet", nullptr},
     QStyle::SP_FileDialogDetailedView},
    {"exclamationmark.triangle.fill", {"dialog-warning-symbolic", "dialog-warning", nullptr},
     QStyle::SP_MessageBoxWarning},
    {"exclamationmark.circle.fill", {"dialog-error-symbolic", "dialog-error", nullptr},
     QStyle::SP_MessageBoxCritical},
    {"info.circle", {"dialog-information-symbolic", "dialog-information", nullptr},
     QStyle::SP_MessageBoxInformation},
    {"arrow.up.right.square", {"go-jump-symbolic", "go-jump", nullptr},
     QStyle::SP_ArrowForward},
    {"arrow.up.right", {"go-jump-symbolic", "go-jump", nullptr}, QStyle::SP_ArrowForward},
    {"eye.fill", {"view-reveal-symbolic", "view-reveal", nullptr},
     QStyle::SP_FileDialogInfoView},
    {"pencil", {"document-edit-symbolic", "document-edit", "accessories-text-editor"},
     QStyle::SP_FileDialogDetailedView},
    {"tag", {"tag-symbolic", "tag", "bookmark-new-symbolic"}, QStyle::SP_FileIcon},
    {"star", {"non-starred-symbolic", "non-starred", "starred-symbolic"},
     QStyle::SP_DialogNoButton},
    {"folder", {"folder-symbolic", "folder", nullptr}, QStyle::SP_DirIcon},
    {"terminal", {"utilities-terminal-symbolic", "utilities-terminal", nullptr},
     QStyle::SP_ComputerIcon},
    {"rectangle.grid.2x2", {"view-grid-symbolic", "view-grid", "view-app-grid-symbolic"},
     QStyle::SP_FileDialogListView},
    {"number", {"accessories-calculator-symbolic", "accessories-calculator", nullptr},
     QStyle::SP_FileDialogDetailedView},
    {"clock", {"alarm-symbolic", "appointment-soon", "x-office-calendar"},
     QStyle::SP_BrowserReload},
    {"arrow.up.arrow.down", {"view-sort-ascending-symbolic", "view-sort-ascending", nullptr},
     QStyle::SP_ArrowUp},
    {"sparkles", {"starred-symbolic", "emblem-new", "starred"}, QStyle::SP_DialogYesButton},
    {"circle.fill", {"media-record-symbolic", "media-record", "emblem-default-symbolic"},
     QStyle::SP_DialogYesButton},
    {"gearshape", {"emblem-system-symbolic", "preferences-system", nullptr},
     QStyle::SP_ComputerIcon},
    {"checkmark.circle.fill", {"emblem-ok-symbolic", "object-select-symbolic", "emblem-default"},
     QStyle::SP_DialogApplyButton},
    {"circle.dotted", {"content-loading-symbolic", "process-working-symbolic", nullptr},
     QStyle::SP_BrowserReload},
    {"doc.on.doc", {"edit-copy-symbolic", "edit-copy", nullptr}, QStyle::SP_FileIcon},
    {"lock.shield", {"security-high-symbolic", "channel-secure-symbolic", "security-high"},
     QStyle::SP_VistaShield},
    {"folder.badge.person.crop", {"folder-remote-symbolic", "folder-remote", "folder-publicshare"},
     QStyle::SP_DirLinkIcon},
}};

// The theme's own icon, in the colours the theme drew it.
QIcon themeSymbolIcon(const SymbolEntry &entry)
{
    for (const char *name : entry.themeNames) {
        if (name && QIcon::hasThemeIcon(QLatin1String(name)))
            return QIcon::fromTheme(QLatin1String(name));
    }
    return QApplication::style()->standardIcon(entry.fallback);
}

// Draws a symbol in the application palette's text colour of the moment: symbolic theme
// icons come in one fixed dark grey, which vanishes on a dark palette, and Qt recolours them
// only for themes it parses itself. Asked at every draw, so a palette changed later shows.
class PaletteTextIconEngine final : public QIconEngine
{
public:
    explicit PaletteTextIconEngine(QIcon shape)
        : m_shape(std::move(shape))
    {
    }

    QIconEngine *clone() const override { return new PaletteTextIconEngine(m_shape); }
    QString key() const override { return QStringLiteral("tolvaran.paletteText"); }
    bool isNull() override { return m_shape.isNull(); }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return m_shape.actualSize(size, mode, state);
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode,
               QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap drawn = scaledPixmap(rect.size(), mode, state, ratio);
        painter->drawPixmap(rect, drawn);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override
    {
        const QPalette palette = QGuiApplication::palette();
        const QColor color = mode == QIcon::Disabled
                                 ? palette.color(QPalette::Disabled, QPalette::WindowText)
                             : mode == QIcon::Selected ? palette.color(QPalette::HighlightedText)
                                                       : palette.color(QPalette::WindowText);
        QPixmap pixmap = m_shape.pixmap(size, scale, QIcon::Normal, state);
        if (pixmap.isNull())
            return pixmap;
        QPainter painter(&pixmap);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(pixmap.rect(), color);
        painter.end();
        return pixmap;
    }

private:
    QIcon m_shape;
};

const SymbolEntry *entryFor(const QString &symbolName)
{
    for (const SymbolEntry &entry : symbolTable) {
        if (symbolName == QLatin1String(entry.symbol))
            return &entry;
    }
    return nullptr;
}

} // namespace

QStringList themeIconNames(const QString &symbolName)
{
    QStringList names;
    if (const SymbolEntry *entry = entryFor(symbolName)) {
        for (const char *name : entry->themeNames) {
            if (name)
                names.append(QLatin1String(name));
        }
    }
    return names;
}

QIcon tintedSymbolIcon(const QString &symbolName, const QColor &color)
{
    static QHash<std::pair<QString, QRgb>, QIcon> cache;
    const std::pair<QString, QRgb> key{symbolName, color.rgba()};
    const auto cached = cache.constFind(key);
    if (cached != cache.constEnd())
        return *cached;
    const SymbolEntry *entry = entryFor(symbolName);
    if (!entry)
        return {};
    const QIcon icon = themeSymbolIcon(*entry);
    QIcon tinted;
    for (const int side : {16, 24, 32, 48}) {
        QPixmap pixmap = icon.pixmap(side, side);
        if (pixmap.isNull())
            continue;
        QPainter painter(&pixmap);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(pixmap.rect(), color);
        painter.end();
        tinted.addPixmap(pixmap);
    }
    cache.insert(key, tinted);
    return tinted;
}

QIcon symbolIcon(const QString &symbolName)
{
    const SymbolEntry *entry = entryFor(symbolName);
    if (!entry)
        return {};
    return QIcon(new PaletteTextIconEngine(themeSymbolIcon(*entry)));
}

} // namespace tolvaran
