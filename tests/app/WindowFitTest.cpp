// The window's sizes on a screen, the window manager's frame included: the frame, not only the
// client area, fits the screen's free area, and the least size gives way to a smaller screen.
// A screen's free area is what the panels on it leave, to the pixel at any scale.
#include "widgets/screen_fit/ScreenWorkArea.h"
#include "widgets/screen_fit/WindowFit.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace tolvaran;

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
