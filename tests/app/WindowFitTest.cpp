// The window's sizes on a screen, the window manager's frame included: the frame, not only the
// client area, fits the screen's free area, and the least size gives way to a smaller screen.
// A screen's free area is what the panels on it leave, to the pixel at any scale.
#include "widgets/screen_fit/ScreenWorkArea.h"
#include "widgets/screen_fit/WindowFit.h"
#include "support/QtPrinters.h"

#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace tolvaran {

class ScreenWorkAreaTesting
{
public:
    // The free area of `screen`, the desktop's one screen, that the panels and the window
    // manager on the X server of `connection` leave.
    static QRect freeArea(xcb_connection_t *connection, const QRect &screen)
    {
        const auto desktop = ScreenWorkArea::readDesktop(connection);
        return desktop ? ScreenWorkArea::nativeFreeArea(*desktop, screen, {screen}) : QRect();
    }
};

} // namespace tolvaran

using namespace tolvaran;

namespace {

// How long an X server of the test's own may take to start on a loaded machine.
constexpr int serverStartMilliseconds = 60'000;

// An X server with no window manager: the test plays one.
struct OwnXServer
{
    QProcess server;
    xcb_connection_t *connection = nullptr;
    xcb_window_t root = 0;

    OwnXServer()
    {
        // It writes its display's number once it takes connections.
        server.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp"});
        if (!server.waitForReadyRead(serverStartMilliseconds))
            return;
        const QByteArray display = ':' + server.readLine().trimmed();
        connection = xcb_connect(display.constData(), nullptr);
        if (!xcb_connection_has_error(connection))
            root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    }
    ~OwnXServer()
    {
        xcb_disconnect(connection);
        server.kill();
        server.waitForFinished();
    }

    void set(xcb_window_t window, const char *name, xcb_atom_t type,
             const std::vector<quint32> &values) const
    {
        xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name),
            nullptr);
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom->atom, type, 32,
                            uint32_t(values.size()), values.data());
        std::free(atom);
    }
};

} // namespace

TEST(WindowFit, theFrameFitsTheFreeAreaAndTheLeastSizeGivesWayToASmallerScreen)
{
    const QSize least(400, 680);
    const QSize first(1180, 820);
    const QMargins titleBar(0, 20, 0, 0);
    const QMargins bordered(2, 24, 2, 2);
    const struct
    {
        const char *name;
        QRect available;
        QMargins frame;
        QSize least;
        QSize wanted;
        WindowFit fitted;
    } rows[] = {
        {"room for all", QRect(0, 0, 1920, 1080), titleBar, least, first, {least, first}},
        {"no frame yet", QRect(0, 0, 1366, 768), {}, least, first,
         {least, QSize(1180, 768)}},
        {"title bar on 1366 by 768", QRect(0, 0, 1366, 768), titleBar, least, first,
         {least, QSize(1180, 748)}},
        {"below a panel", QRect(0, 32, 1366, 736), titleBar, least, first,
         {least, QSize(1180, 716)}},
        {"frame on 1024 by 600", QRect(0, 0, 1024, 600), bordered, least, first,
         {QSize(400, 574), QSize(1020, 574)}},
        {"large text's content on 1024 by 600", QRect(0, 0, 1024, 600), bordered,
         QSize(533, 680), QSize(800, 500), {QSize(533, 574), QSize(800, 574)}},
        {"content wider than the screen", QRect(0, 0, 640, 480), bordered, QSize(711, 680),
         QSize(600, 400), {QSize(636, 454), QSize(636, 454)}},
        {"a window below a grown least width", QRect(0, 0, 1920, 1080), titleBar,
         QSize(533, 680), QSize(400, 700), {QSize(533, 680), QSize(533, 700)}},
        {"a frame larger than the area", QRect(0, 0, 40, 20), bordered, least, first,
         {QSize(36, 1), QSize(36, 1)}},
    };
    for (const auto &row : rows) {
        const WindowFit fitted = WindowFit::fit(row.available, row.frame, row.least, row.wanted);
        EXPECT_EQ(fitted.minimumSize, row.fitted.minimumSize) << row.name;
        EXPECT_EQ(fitted.size, row.fitted.size) << row.name;
    }
}

// At a scale of 1.5 Qt reports the window manager's frame, and places and sizes the window,
// each rounded to its own pixels: a window fitted to the whole screen with the frame to fit
// ends inside the screen's window-system pixels whatever the frame's thickness there.
TEST(WindowFit, theFrameEndsInsideTheScreenToThePixelAtAFractionalScale)
{
    const qreal ratio = 1.5;
    const QRect screen(0, 0, 1280, 720); // 1920 by 1080 in the window system's pixels
    const auto toQt = [ratio](int native) { return qRound(native / ratio); };
    const auto toNative = [ratio](int logical) { return qRound(logical * ratio); };
    for (const QMargins &drawn : {QMargins(1, 20, 1, 5), QMargins(2, 29, 2, 2)}) {
        const QMargins frame = WindowFit::frameToFit(
            QMargins(toQt(drawn.left()), toQt(drawn.top()), toQt(drawn.right()),
                     toQt(drawn.bottom())),
            ratio);
        const QSize size = WindowFit::fit(screen, frame, {400, 680}, {1180, 820}).size;
        const QPoint client = WindowFit::placedInside(QRect(QPoint(), size) + frame, screen)
                            + QPoint(frame.left(), frame.top());
        EXPECT_GE(toNative(client.y()) - drawn.top(), 0);
        EXPECT_LE(toNative(client.y()) + toNative(size.height()) + drawn.bottom(), 1080);
        EXPECT_LE(toNative(client.x()) + toNative(size.width()) + drawn.right(), 1920);
    }
}

// Two screens side by side, the right one lower: each panel's strut, measured from the
// desktop's edge, takes its room from the screen it lies on and from no other.
TEST(ScreenWorkArea, aPanelTakesItsRoomFromItsOwnScreenOnly)
{
    using Strut = ScreenWorkArea::Strut;
    const QRect left(0, 0, 1920, 1080);
    const QRect right(1920, 0, 1366, 768);
    constexpr int wholeEdge = 1 << 30;
    const struct
    {
        const char *name;
        Strut strut;
        QRect freeLeft;
        QRect freeRight;
    } rows[] = {
        {"no panel", {}, left, right},
        {"a top panel on the left screen", {.top = 32, .topStart = 0, .topEnd = 1919},
         QRect(0, 32, 1920, 1048), right},
        {"a bottom panel on the lower right screen",
         {.bottom = 1080 - 768 + 32, .bottomStart = 1920, .bottomEnd = 3285}, left,
         QRect(1920, 0, 1366, 736)},
        {"a dock at the desktop's left edge", {.left = 48, .leftStart = 0, .leftEnd = 1079},
         QRect(48, 0, 1872, 1080), right},
        {"a panel at the right screen's inner edge",
         {.left = 1920 + 40, .leftStart = 0, .leftEnd = 767}, left, QRect(1960, 0, 1326, 768)},
        {"the older strut, along its whole edge", {.top = 24, .topStart = 0, .topEnd = wholeEdge},
         QRect(0, 24, 1920, 1056), QRect(1920, 24, 1366, 744)},
    };
    for (const auto &row : rows) {
        const QRect desktop = left | right;
        EXPECT_EQ(ScreenWorkArea::freeArea(left, desktop, {row.strut}), row.freeLeft) << row.name;
        EXPECT_EQ(ScreenWorkArea::freeArea(right, desktop, {row.strut}), row.freeRight)
            << row.name;
    }
}

// At a scale of 1.5 a free area whose edge falls inside one of Qt's pixels ends before that
// pixel: a window inside it never reaches past the panel or the screen's edge.
TEST(ScreenWorkArea, theFreeAreaIsRoundedInwardsAtAFractionalScale)
{
    EXPECT_EQ(ScreenWorkArea::toLogical(QRect(0, 32, 1366, 736), QRect(0, 0, 1366, 768),
                                        QRect(0, 0, 911, 512), 1.5),
              QRect(0, 22, 910, 490));
    EXPECT_EQ(ScreenWorkArea::toLogical(QRect(1366, 0, 1920, 1048), QRect(1366, 0, 1920, 1080),
                                        QRect(1366, 0, 1280, 720), 1.5),
              QRect(1366, 0, 1280, 698));
    EXPECT_EQ(ScreenWorkArea::toLogical(QRect(0, 32, 1366, 736), QRect(0, 0, 1366, 768),
                                        QRect(0, 0, 1366, 768), 1.0),
              QRect(0, 32, 1366, 736));
}

// A panel's strut keeps its room while the panel shows. Hidden, it keeps none, though it keeps
// its strut and the window manager lists it a moment longer; and a work area of the screens'
// layout before they changed, which the window manager has not set again yet, is not the
// screen's. Read from an X server of the test's own, with a panel of its own.
TEST(ScreenWorkArea, theFreeAreaFollowsThePanelsAsTheyAre)
{
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
        GTEST_SKIP() << "no Xvfb (scripts/setup.sh --test installs it)";
    const OwnXServer x;
    ASSERT_NE(x.root, 0u) << "no X server of the test's own";
    const QRect screen(0, 0, 1366, 768);
    const xcb_window_t panel = xcb_generate_id(x.connection);
    xcb_create_window(x.connection, XCB_COPY_FROM_PARENT, panel, x.root, 0, 0, 1366, 32, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    x.set(panel, "_NET_WM_STRUT_PARTIAL", XCB_ATOM_CARDINAL,
          {0, 0, 32, 0, 0, 0, 0, 0, 0, 1365, 0, 0});
    xcb_map_window(x.connection, panel);
    x.set(x.root, "_NET_CLIENT_LIST", XCB_ATOM_WINDOW, {panel});
    x.set(x.root, "_NET_CURRENT_DESKTOP", XCB_ATOM_CARDINAL, {0});
    x.set(x.root, "_NET_WORKAREA", XCB_ATOM_CARDINAL, {0, 32, 1366, 736});
    EXPECT_EQ(ScreenWorkAreaTesting::freeArea(x.connection, screen), QRect(0, 32, 1366, 736));

    xcb_unmap_window(x.connection, panel);
    x.set(x.root, "_NET_WORKAREA", XCB_ATOM_CARDINAL, {0, 0, 1366, 768});
    EXPECT_EQ(ScreenWorkAreaTesting::freeArea(x.connection, screen), screen);

    // The screen on the right of one that went, moved to the desktop's left edge.
    const QRect remaining(0, 0, 1920, 1080);
    x.set(x.root, "_NET_WORKAREA", XCB_ATOM_CARDINAL, {1366, 0, 1920, 1080});
    EXPECT_EQ(ScreenWorkAreaTesting::freeArea(x.connection, remaining), remaining);
}
