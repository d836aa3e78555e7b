// The keyboard in the card grid: Tab walks on from the cards in view onto those of the next
// rows, enters the page at either end however it is scrolled, and the grid scrolls each
// focused control into view instead of leaving the focus out of sight; a new order keeps it.
#include "BrowserWorld.h"

#include "app/cards/ProjectCardGrid.h"
#include "app/cards/ProjectCardView.h"
#include "app/cards/ReadingOrderFocus.h"
#include "app/window/TolvaranViewController.h"
#include "support/WaitUntil.h"
#include "support/widgets/FocusStops.h"

#include <QApplication>
#include <QSet>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

TEST(CardFocus, tabScrollsTheFocusedCardControlIntoView)
{
    BrowserWorld world;
    for (int index = 0; index < 10; ++index)
        world.addProject(QStringLiteral("p%1").arg(index, 2, 10, QLatin1Char('0')), 1);
    world.makeModel(false);
    ASSERT_TRUE(world.refresh());
    int renders = 0;
    TolvaranViewController browser(*world.model, world.team, world.folderPicker,
                                   [](const QString &) {});
    QObject::connect(&browser, &TolvaranViewController::rendered, [&renders] { ++renders; });
    browser.resize(760, 800);
    browser.show();
    ASSERT_TRUE(waitUntil([&renders] { return renders > 0; }));
    browser.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&browser));

    auto *grid = browser.findChild<ProjectCardGrid *>(QStringLiteral("collectionView"));
    QWidget *viewport = grid->viewport();
    ASSERT_EQ(grid->scrollOffset(), 0);
    grid->cardAt(0)->findChild<QWidget *>(QStringLiteral("detailsButton"))
        ->setFocus(Qt::TabFocusReason);

    QSet<QString> projectsFocused{grid->cardAt(0)->model()->project.name};
    for (int step = 0; step < 400; ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget *focused = QApplication::focusWidget();
        if (!viewport->isAncestorOf(focused))
            break; // on to the paging bar
        const QRect area(focused->mapTo(viewport, QPoint()), focused->size());
        EXPECT_TRUE(viewport->rect().contains(area))
            << focused->objectName().toStdString() << " at " << area.y() << " of "
            << viewport->height();
        for (QWidget *card = focused; card; card = card->parentWidget()) {
            if (auto *view = qobject_cast<ProjectCardView *>(card)) {
                projectsFocused.insert(view->model()->project.name);
                break;
            }
        }
    }
    // Every card of the page was reached, the last ones far below the first screen.
    EXPECT_EQ(projectsFocused.size(), world.model->pagedProjects().size());
    EXPECT_GT(grid->scrollOffset(), 0);

    // Twice round the page, from where the first card's row went back to the pool: Tab enters
    // at the first card's first control, Shift+Tab from the paging bar at the last card's last.
    const QStringList page = grid->identifiers();
    QWidget *pageBar = ReadingOrderFocus::stops(
        browser.findChild<QWidget *>(QStringLiteral("paginationBar"))).constFirst();
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        int step = 0;
        do
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        while (!viewport->isAncestorOf(QApplication::focusWidget()) && ++step < 50);
        ASSERT_NE(grid->cardAt(0), nullptr);
        EXPECT_EQ(QApplication::focusWidget(), ReadingOrderFocus::stops(grid->cardAt(0))[0]);
        EXPECT_TRUE(shownWhole(QApplication::focusWidget()));
        grid->setScrollOffset(0);
        pageBar->setFocus(Qt::TabFocusReason);
        QTest::keyClick(pageBar, Qt::Key_Backtab);
        ASSERT_NE(grid->cardAt(page.size() - 1), nullptr);
        EXPECT_EQ(QApplication::focusWidget(),
                  ReadingOrderFocus::stops(grid->cardAt(page.size() - 1)).constLast());
        EXPECT_TRUE(shownWhole(QApplication::focusWidget()));
    }
    // A new order (as Codex works) leaves the focus where it is.
    QWidget *focused = QApplication::focusWidget();
    grid->replaceItems(QStringList(page.crbegin(), page.crend()));
    EXPECT_EQ(QApplication::focusWidget(), focused);
    EXPECT_TRUE(grid->cardAt(0)->isAncestorOf(focused));
}

} // namespace
