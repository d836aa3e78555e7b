// Where the keyboard focus goes when something the user opened from a control closes: back to
// that control, so the next key acts where the user was, never on whatever Qt finds next.
#include "BrowserWorld.h"

#include "app/cards/ProjectCardGrid.h"
#include "app/cards/ProjectCardView.h"
#include "app/TolvaranApp.h"
#include "app/TolvaranWindow.h"
#include "app/window/ContentView.h"
#include "app/window/TolvaranViewController.h"
#include "support/ScopedEnvironment.h"
#include "support/TemporaryHome.h"
#include "support/WaitUntil.h"
#include "support/widgets/FocusStops.h"
#include "team_screens/TeamsDashboardView.h"

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <memory>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

QString focusName()
{
    QWidget *focused = QApplication::focusWidget();
    return focused ? focused->objectName() : QStringLiteral("(nothing)");
}

class FocusReturnTest : public ::testing::Test
{
protected:
    void makeBrowser(int width)
    {
        world.addProject(QStringLiteral("cobalt-ui"), 2);
        world.makeModel(false);
        ASSERT_TRUE(world.refresh());
        browser = std::make_unique<TolvaranViewController>(
            *world.model, world.team, world.folderPicker, [](const QString &) {});
        browser->setOnShowTeams([] {});
        QObject::connect(browser.get(), &TolvaranViewController::rendered,
                         [this] { ++renders; });
        browser->resize(width, 800);
        browser->show();
        ASSERT_TRUE(rendered());
        browser->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(browser.get()));
    }

    bool rendered()
    {
        const int before = renders;
        browser->scheduleRender();
        return waitUntil([this, before] { return renders > before; });
    }

    QWidget *control(const char *name) const
    {
        return browser->findChild<QWidget *>(QLatin1String(name));
    }

    // Gives `widget` the focus as Tab does, then presses Space on it.
    static void pressFromKeyboard(QWidget *widget)
    {
        widget->setFocus(Qt::TabFocusReason);
        QTest::keyClick(widget, Qt::Key_Space);
    }

    BrowserWorld world;
    std::unique_ptr<TolvaranViewController> browser;
    int renders = 0;
};

// Opened by a click while the focus was elsewhere as much as from the keyboard.
TEST_F(FocusReturnTest, escapeFromTheRenameDialogReturnsToTheCardsRenameButton)
{
    makeBrowser(1200);
    auto *grid = browser->findChild<ProjectCardGrid *>(QStringLiteral("collectionView"));
    QWidget *rename = grid->cardAt(0)->findChild<QWidget *>(QStringLiteral("renameButton"));
    QTest::mouseClick(control("searchField"), Qt::LeftButton);
    for (const bool byKeyboard : {false, true}) {
        SCOPED_TRACE(byKeyboard ? "keyboard" : "mouse");
        if (byKeyboard)
            pressFromKeyboard(rename);
        else
            QTest::mouseClick(rename, Qt::LeftButton);
        auto *dialog = browser->findChild<QDialog *>(QStringLiteral("renameDialog"));
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(waitUntil([dialog] { return QApplication::activeWindow() == dialog; }));

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        // As the window manager gives the window back its activation.
        ASSERT_TRUE(activated(browser.get()));
        EXPECT_EQ(QApplication::focusWidget(), rename) << focusName().toStdString();
        // The dialog is gone: a second one is found next time, not this one.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// The floating sidebar goes by its hide button or by Escape from any of its controls; either
// way the focus returns to the header's toggle that showed it.
TEST_F(FocusReturnTest, hidingTheFloatingTagSidebarReturnsToItsToggle)
{
    makeBrowser(760);
    QWidget *toggle = control("sidebarToggle");
    pressFromKeyboard(toggle);
    ASSERT_TRUE(rendered());
    ASSERT_EQ(browser->sidebarPlacement(), TolvaranViewController::SidebarPlacement::floating);

    pressFromKeyboard(control("sidebarHideButton"));
    ASSERT_TRUE(rendered());
    EXPECT_EQ(browser->sidebarPlacement(), TolvaranViewController::SidebarPlacement::hidden);
    EXPECT_EQ(QApplication::focusWidget(), toggle) << focusName().toStdString();

    pressFromKeyboard(toggle);
    ASSERT_TRUE(rendered());
    ASSERT_EQ(browser->sidebarPlacement(), TolvaranViewController::SidebarPlacement::floating);
    QWidget *field = control("newTagField");
    field->setFocus(Qt::TabFocusReason);
    QTest::keyClick(field, Qt::Key_Escape);
    ASSERT_TRUE(rendered());
    EXPECT_EQ(browser->sidebarPlacement(), TolvaranViewController::SidebarPlacement::hidden);
    EXPECT_FALSE(world.model->isTagSidebarVisible());
    EXPECT_EQ(QApplication::focusWidget(), toggle) << focusName().toStdString();
}

// Escape in a docked sidebar leaves it where it is: it covers nothing.
TEST_F(FocusReturnTest, escapeLeavesADockedSidebarShown)
{
    makeBrowser(1200);
    world.model->setTagSidebarVisible(true);
    ASSERT_TRUE(rendered());
    QWidget *field = control("newTagField");
    field->setFocus(Qt::TabFocusReason);
    QTest::keyClick(field, Qt::Key_Escape);
    ASSERT_TRUE(rendered());
    EXPECT_EQ(browser->sidebarPlacement(), TolvaranViewController::SidebarPlacement::docked);
}

TEST(FocusReturnToBrowserTest, escapeFromTheTeamsDashboardReturnsToTheTeamButton)
{
    TemporaryHome home;
    ScopedEnvironment environment;
    FakeCodexHome codex(home.filePath(QStringLiteral(".codex")));
    environment.useHome(home.path(), codex.path());
    codex.writeDatabase();
    TolvaranApp app;
    TolvaranWindow &window = app.window();
    window.show();
    ASSERT_TRUE(waitUntil([&app] { return app.viewModel().lastRefreshedAt().has_value(); }));
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ContentView &content = *window.contentView();
    auto *teamButton = content.browser()->findChild<QWidget *>(QStringLiteral("teamButton"));
    ASSERT_TRUE(waitUntil([teamButton] { return teamButton->isVisible(); }));

    teamButton->setFocus(Qt::TabFocusReason);
    QTest::keyClick(teamButton, Qt::Key_Space);
    ASSERT_EQ(content.screen(), ContentView::Screen::teams);
    auto *dashboard = content.findChild<TeamsDashboardView *>();
    ASSERT_TRUE(dashboard->isAncestorOf(QApplication::focusWidget())) << focusName().toStdString();

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    ASSERT_EQ(content.screen(), ContentView::Screen::browser);
    EXPECT_TRUE(waitUntil([&content] {
        QWidget *focused = QApplication::focusWidget();
        return focused && focused->objectName() == QStringLiteral("teamButton")
            && content.browser()->isAncestorOf(focused);
    })) << focusName().toStdString();
}

} // namespace
