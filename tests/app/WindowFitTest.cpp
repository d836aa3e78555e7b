// The window's sizes on a screen, the window manager's frame included: the frame, not only the
// client area, fits the screen's free area, and the least size gives way to a smaller screen.
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
