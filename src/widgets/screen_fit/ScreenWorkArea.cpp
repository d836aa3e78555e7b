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

struct FreeReply
{
    void operator()(void *reply) const { std::free(reply); }
};
using PropertyReply = std::unique_ptr<xcb_get_property_reply_t, FreeReply>;
using AttributesReply = std::unique_ptr<xcb_get_window_attributes_reply_t, FreeReply>;

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

// The names read, in the order of `Name`.
constexpr std::array atomNames{"_NET_CLIENT_LIST", "_NET_WM_STRUT_PARTIAL", "_NET_WM_STRUT",
                               "_NET_WORKAREA", "_NET_CURRENT_DESKTOP"};
enum Name : std::size_t { clientList, strutPartial, strutPlain, workArea, currentDesktop };

// The atoms of atomNames, asked for all at once; none for a name that fails, and for one that
// no program has named yet unless `made`.
std::array<xcb_atom_t, atomNames.size()> atomsOf(xcb_connection_t *connection, bool made)
{
    std::array<xcb_intern_atom_cookie_t, atomNames.size()> cookies;
    for (std::size_t i = 0; i < atomNames.size(); ++i)
        cookies[i] = xcb_intern_atom(connection, made ? 0 : 1,
                                     uint16_t(std::strlen(atomNames[i])), atomNames[i]);
    std::array<xcb_atom_t, atomNames.size()> atoms;
    for (std::size_t i = 0; i < atomNames.size(); ++i) {
        xcb_generic_error_t *error = nullptr;
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookies[i], &error);
        atoms[i] = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        std::free(error);
    }
    return atoms;
}

// Qt's own connection to the X server, where Qt runs on X11. Qt has no reading of other
// programs' window properties.
xcb_connection_t *qtConnection()
{
    // The offscreen platform may offer an X11 connection too, beside screens of its own.
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

#endif

} // namespace

#if QT_CONFIG(xcb)

std::optional<ScreenWorkArea::Desktop> ScreenWorkArea::readDesktop(xcb_connection_t *connection)
{
    const xcb_screen_t *root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!root)
        return std::nullopt;
    const auto atoms = atomsOf(connection, false);
    const auto ask = [&](xcb_window_t window, Name name, xcb_atom_t type, uint32_t count) {
        return xcb_get_property(connection, 0, window, atoms[name], type, 0, count);
    };
    if (atoms[clientList] == XCB_ATOM_NONE)
        return std::nullopt;
    const xcb_get_property_cookie_t listCookie =
        ask(root->root, clientList, XCB_ATOM_WINDOW, 1 << 16);
    const xcb_get_property_cookie_t workAreaCookie =
        ask(root->root, workArea, XCB_ATOM_CARDINAL, 1 << 16);
    const xcb_get_property_cookie_t desktopCookie =
        ask(root->root, currentDesktop, XCB_ATOM_CARDINAL, 1);
    const std::vector<quint32> windows = values(propertyReply(connection, listCookie));
    Desktop desktop;
    const std::vector<quint32> areas = values(propertyReply(connection, workAreaCookie));
    const std::vector<quint32> current = values(propertyReply(connection, desktopCookie));
    const std::size_t at = 4 * std::size_t(current.empty() ? 0 : current.front());
    if (at + 4 <= areas.size())
        desktop.workArea =
            QRect(int(areas[at]), int(areas[at + 1]), int(areas[at + 2]), int(areas[at + 3]));
    struct Asked
    {
        xcb_window_t window;
        xcb_get_property_cookie_t partial;
        xcb_get_property_cookie_t plain;
        xcb_get_window_attributes_cookie_t attributes;
    };
    std::vector<Asked> asked;
    for (const quint32 window : windows)
        asked.push_back({window, ask(window, strutPartial, XCB_ATOM_CARDINAL, 12),
                         ask(window, strutPlain, XCB_ATOM_CARDINAL, 4),
                         xcb_get_window_attributes(connection, window)});
    for (const Asked &each : asked) {
        const std::vector<quint32> partial = values(propertyReply(connection, each.partial));
        const std::vector<quint32> plain = values(propertyReply(connection, each.plain));
        xcb_generic_error_t *error = nullptr;
        const AttributesReply attributes(
            xcb_get_window_attributes_reply(connection, each.attributes, &error));
        std::free(error);
        Strut strut;
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
        // A panel may change its strut without the window manager's work area changing (the
        // work area of two or more screens is not each screen's); our windows have no strut,
        // so their own events are left as Qt chose them. A window gone meanwhile is no error.
        const uint32_t propertyChanges = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_discard_reply(connection, xcb_change_window_attributes_checked(
                                          connection, each.window, XCB_CW_EVENT_MASK,
                                          &propertyChanges)
                                          .sequence);
        // A panel that hid keeps nothing, though it may keep its strut, and the window
        // manager may list it a moment longer; so does one on another virtual desktop.
        if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE)
            desktop.struts.append(strut);
    }
    return desktop;
}

#endif

std::optional<std::optional<ScreenWorkArea::Desktop>> &ScreenWorkArea::readDesktopCache()
{
    static std::optional<std::optional<Desktop>> cache;
    return cache;
}

ScreenWorkArea::ScreenWorkArea()
    : QObject(qGuiApp)
{
#if QT_CONFIG(xcb)
    xcb_connection_t *connection = qtConnection();
    if (!connection)
        return;
    // Qt follows the root window's properties already: the window manager sets its work area
    // there whenever a panel's strut comes, goes or changes, and its list of windows whenever
    // one comes or goes, which may be a moment later.
    // Made where no window manager has named them yet, to tell them once one does.
    const auto atoms = atomsOf(connection, true);
    m_rootAtoms = {atoms[workArea], atoms[clientList]};
    m_panelAtoms = {atoms[strutPartial], atoms[strutPlain]};
    m_root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    qGuiApp->installNativeEventFilter(this);
    // Read again for the new layout; the window manager tells of its new work area later, or
    // not at all where the screens' new layout changes nothing of it.
    const auto follow = [this](QScreen *screen) {
        connect(screen, &QScreen::geometryChanged, this, [] { readDesktopCache().reset(); });
    };
    for (QScreen *screen : QGuiApplication::screens())
        follow(screen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [follow](QScreen *added) {
        readDesktopCache().reset();
        follow(added);
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, [] { readDesktopCache().reset(); });
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
    if (m_root == 0 || eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return false;
    const auto *notify = static_cast<const xcb_property_notify_event_t *>(message);
    if ((notify->window == m_root ? m_rootAtoms : m_panelAtoms).contains(notify->atom))
        forgetDesktop();
#else
    Q_UNUSED(eventType);
    Q_UNUSED(message);
#endif
    return false;
}

void ScreenWorkArea::forgetDesktop()
{
    readDesktopCache().reset();
    QMetaObject::invokeMethod(this, &ScreenWorkArea::changed, Qt::QueuedConnection);
}

QRect ScreenWorkArea::available(const QScreen *screen)
{
    if (!screen)
        return {};
#if QT_CONFIG(xcb)
    // Made first, so that it forgets what was read once it no longer holds.
    instance();
    std::optional<std::optional<Desktop>> &cache = readDesktopCache();
    if (!cache) {
        xcb_connection_t *connection = qtConnection();
        cache = connection ? readDesktop(connection) : std::nullopt;
    }
    if (const std::optional<Desktop> &desktop = *cache) {
        QList<QRect> screens;
        for (const QScreen *each : QGuiApplication::screens())
            screens << nativeGeometry(each);
        const QRect native = nativeGeometry(screen);
        return toLogical(nativeFreeArea(*desktop, native, screens), native, screen->geometry(),
                         screen->devicePixelRatio());
    }
#endif
    return screen->availableGeometry();
}

QRect ScreenWorkArea::nativeFreeArea(const Desktop &desktop, const QRect &screen,
                                     const QList<QRect> &screens)
{
    QRect whole;
    for (const QRect &each : screens)
        whole |= each;
    QRect free = freeArea(screen, whole, desktop.struts);
    // A sole screen's work area is the desktop's: it holds what no strut says (a panel the
    // window manager draws itself). One that reaches past the desktop is of the screens'
    // layout before they changed, which the window manager has not set again yet.
    if (screens.size() == 1 && desktop.workArea && whole.contains(*desktop.workArea)
        && desktop.workArea->intersects(screen))
        free &= *desktop.workArea;
    return free;
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
