#include "widgets/screen_fit/ScreenWorkArea.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace tolvaran {

namespace {

// A position a hair past a whole pixel, after dividing by the ratio, still rounds to it.
constexpr double roundingSlack = 1e-6;

// The screen in the window system's pixels: Qt keeps a screen's corner where the window
// system has it and scales its size.
QRect nativeGeometry(const QScreen *screen)
{
    const QRect geometry = screen->geometry();
    const qreal ratio = screen->devicePixelRatio();
    return {geometry.topLeft(),
            QSize(qRound(geometry.width() * ratio), qRound(geometry.height() * ratio))};
}

#if QT_CONFIG(xcb)

// What the window manager and the panels say of the desktop.
struct Desktop
{
    QList<ScreenWorkArea::Strut> struts;
    // The desktop's one work area, where the window manager gives one.
    std::optional<QRect> workArea;
};

struct FreeReply
{
    void operator()(void *reply) const { std::free(reply); }
};
using PropertyReply = std::unique_ptr<xcb_get_property_reply_t, FreeReply>;

PropertyReply propertyReply(xcb_connection_t *connection, xcb_get_property_cookie_t cookie)
{
    xcb_generic_error_t *error = nullptr; // a window that went meanwhile, an unknown name
    PropertyReply reply(xcb_get_property_reply(connection, cookie, &error));
    std::free(error);
    if (reply && (reply->format != 32 || reply->type == XCB_ATOM_NONE))
        reply.reset();
    return reply;
}

// The 32-bit values of a property, or none.
std::vector<quint32> values(const PropertyReply &reply)
{
    if (!reply)
        return {};
    const auto *first = static_cast<const quint32 *>(xcb_get_property_value(reply.get()));
    return {first, first + xcb_get_property_value_length(reply.get()) / 4};
}

// Reads the panels' struts and the work area over Qt's own connection to the X server, the
// windows' properties asked for all at once; none where this is not X11 or no window manager
// lists the desktop's windows. Qt has no reading of other programs' window properties.
std::optional<Desktop> readDesktop()
{
    // The offscreen platform may offer an X11 connection too, beside screens of its own.
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return std::nullopt;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return std::nullopt;
    const xcb_screen_t *root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!root)
        return std::nullopt;
    constexpr std::array names{"_NET_CLIENT_LIST", "_NET_WM_STRUT_PARTIAL", "_NET_WM_STRUT",
                               "_NET_WORKAREA", "_NET_CURRENT_DESKTOP"};
    std::array<xcb_intern_atom_cookie_t, names.size()> atomCookies;
    for (std::size_t i = 0; i < names.size(); ++i)
        atomCookies[i] =
            xcb_intern_atom(connection, 1, uint16_t(std::strlen(names[i])), names[i]);
    std::array<xcb_atom_t, names.size()> atoms;
    for (std::size_t i = 0; i < names.size(); ++i) {
        xcb_generic_error_t *error = nullptr;
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, atomCookies[i], &error);
        atoms[i] = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        std::free(error);
    }
    const auto ask = [&](xcb_window_t window, xcb_atom_t atom, xcb_atom_t type, uint32_t count) {
        return xcb_get_property(connection, 0, window, atom, type, 0, count);
    };
    if (atoms[0] == XCB_ATOM_NONE)
        return std::nullopt;
    const xcb_get_property_cookie_t listCookie =
        ask(root->root, atoms[0], XCB_ATOM_WINDOW, 1 << 16);
    const bool hasWorkArea = atoms[3] != XCB_ATOM_NONE && atoms[4] != XCB_ATOM_NONE;
    xcb_get_property_cookie_t workAreaCookie{};
    xcb_get_property_cookie_t desktopCookie{};
    if (hasWorkArea) {
        workAreaCookie = ask(root->root, atoms[3], XCB_ATOM_CARDINAL, 1 << 16);
        desktopCookie = ask(root->root, atoms[4], XCB_ATOM_CARDINAL, 1);
    }
    const std::vector<quint32> windows = values(propertyReply(connection, listCookie));
    Desktop desktop;
    if (hasWorkArea) {
        const std::vector<quint32> areas = values(propertyReply(connection, workAreaCookie));
        const std::vector<quint32> current = values(propertyReply(connection, desktopCookie));
        const std::size_t at = 4 * std::size_t(current.empty() ? 0 : current.front());
        if (at + 4 <= areas.size())
            desktop.workArea = QRect(int(areas[at]), int(areas[at + 1]), int(areas[at + 2]),
                                     int(areas[at + 3]));
    }
    std::vector<std::pair<xcb_get_property_cookie_t, xcb_get_property_cookie_t>> cookies;
    if (atoms[1] != XCB_ATOM_NONE || atoms[2] != XCB_ATOM_NONE) {
        for (const quint32 window : windows)
            cookies.emplace_back(ask(window, atoms[1], XCB_ATOM_CARDINAL, 12),
                                 ask(window, atoms[2], XCB_ATOM_CARDINAL, 4));
    }
    for (const auto &[partialCookie, plainCookie] : cookies) {
        const std::vector<quint32> partial = values(propertyReply(connection, partialCookie));
        const std::vector<quint32> plain = values(propertyReply(connection, plainCookie));
        ScreenWorkArea::Strut strut;
        if (partial.size() >= 12) {
            strut = {int(partial[0]), int(partial[1]), int(partial[2]), int(partial[3]),
                     int(partial[4]), int(partial[5]), int(partial[6]), int(partial[7]),
                     int(partial[8]), int(partial[9]), int(partial[10]), int(partial[11])};
        } else if (plain.size() >= 4) {
            // The older strut spans its whole edge.
            constexpr int whole = 1 << 30;
            strut = {int(plain[0]), int(plain[1]), int(plain[2]), int(plain[3]),
                     0, whole, 0, whole, 0, whole, 0, whole};
        } else {
            continue;
        }
        desktop.struts.append(strut);
    }
    return desktop;
}

// What readDesktop read last, kept until the window manager's work area changes (which it
// sets again whenever a panel's strut comes, goes or changes) or a screen comes or goes: a
// dialog is fitted many times as it opens, each time asking every window on the desktop.
// The GUI thread's alone, as the screens are.
std::optional<std::optional<Desktop>> &readDesktopCache()
{
    static std::optional<std::optional<Desktop>> cache;
    return cache;
}

const std::optional<Desktop> &currentDesktop()
{
    // Made first, so that it forgets what was read once it no longer holds.
    ScreenWorkArea::instance();
    std::optional<std::optional<Desktop>> &cache = readDesktopCache();
    if (!cache)
        cache = readDesktop();
    return *cache;
}

#endif

} // namespace

ScreenWorkArea::ScreenWorkArea()
    : QObject(qGuiApp)
{
#if QT_CONFIG(xcb)
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return;
    // Qt follows the root window's properties already: the window manager sets its work area
    // there whenever a panel's strut comes, goes or changes.
    const char name[] = "_NET_WORKAREA";
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr);
    m_workAreaAtom = reply ? reply->atom : 0;
    std::free(reply);
    m_root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    qGuiApp->installNativeEventFilter(this);
    const auto forget = [] { readDesktopCache().reset(); };
    connect(qGuiApp, &QGuiApplication::screenAdded, this, forget);
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, forget);
#endif
}

ScreenWorkArea *ScreenWorkArea::instance()
{
    static QPointer<ScreenWorkArea> made;
    if (!made && qGuiApp)
        made = new ScreenWorkArea();
    return made;
}

bool ScreenWorkArea::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
#if QT_CONFIG(xcb)
    if (m_workAreaAtom == 0 || eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return false;
    const auto *notify = static_cast<const xcb_property_notify_event_t *>(message);
    if (notify->window == m_root && notify->atom == m_workAreaAtom) {
        readDesktopCache().reset();
        QMetaObject::invokeMethod(this, &ScreenWorkArea::changed, Qt::QueuedConnection);
    }
#else
    Q_UNUSED(eventType);
    Q_UNUSED(message);
#endif
    return false;
}

QRect ScreenWorkArea::available(const QScreen *screen)
{
    if (!screen)
        return {};
#if QT_CONFIG(xcb)
    if (const std::optional<Desktop> &desktop = currentDesktop()) {
        const QList<QScreen *> screens = QGuiApplication::screens();
        QRect whole;
        for (const QScreen *each : screens)
            whole |= nativeGeometry(each);
        const QRect native = nativeGeometry(screen);
        QRect free = freeArea(native, whole, desktop->struts);
        // A sole screen's work area is the desktop's: it holds what no strut says (a panel the
        // window manager draws itself).
        if (screens.size() == 1 && desktop->workArea && desktop->workArea->intersects(native))
            free &= *desktop->workArea;
        return toLogical(free, native, screen->geometry(), screen->devicePixelRatio());
    }
#endif
    return screen->availableGeometry();
}

QRect ScreenWorkArea::freeArea(const QRect &screen, const QRect &desktop,
                               const QList<Strut> &struts)
{
    const int desktopRight = desktop.right();
    const int desktopBottom = desktop.bottom();
    const auto span = [](int start, int end) { return std::max(0, end - start + 1); };
    QRect free = screen;
    for (const Strut &strut : struts) {
        if (strut.left > 0) {
            const QRect kept(0, strut.leftStart, strut.left, span(strut.leftStart, strut.leftEnd));
            if (kept.intersects(screen) && kept.right() < screen.right())
                free.setLeft(std::max(free.left(), kept.right() + 1));
        }
        if (strut.right > 0) {
            const QRect kept(desktopRight + 1 - strut.right, strut.rightStart, strut.right,
                             span(strut.rightStart, strut.rightEnd));
            if (kept.intersects(screen) && kept.left() > screen.left())
                free.setRight(std::min(free.right(), kept.left() - 1));
        }
        if (strut.top > 0) {
            const QRect kept(strut.topStart, 0, span(strut.topStart, strut.topEnd), strut.top);
            if (kept.intersects(screen) && kept.bottom() < screen.bottom())
                free.setTop(std::max(free.top(), kept.bottom() + 1));
        }
        if (strut.bottom > 0) {
            const QRect kept(strut.bottomStart, desktopBottom + 1 - strut.bottom,
                             span(strut.bottomStart, strut.bottomEnd), strut.bottom);
            if (kept.intersects(screen) && kept.top() > screen.top())
                free.setBottom(std::min(free.bottom(), kept.top() - 1));
        }
    }
    return free;
}

QRect ScreenWorkArea::toLogical(const QRect &area, const QRect &native, const QRect &logical,
                                qreal ratio)
{
    if (area.isEmpty() || ratio <= 0)
        return {};
    const auto up = [ratio](int offset) { return int(std::ceil(offset / ratio - roundingSlack)); };
    const auto down = [ratio](int offset) {
        return int(std::floor(offset / ratio + roundingSlack));
    };
    // The edges past the area's last pixels, so that a pixel only partly inside is left out.
    const int left = logical.left() + up(area.left() - native.left());
    const int top = logical.top() + up(area.top() - native.top());
    const int right = logical.left() + down(area.right() + 1 - native.left());
    const int bottom = logical.top() + down(area.bottom() + 1 - native.top());
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)).intersected(logical);
}

} // namespace tolvaran
