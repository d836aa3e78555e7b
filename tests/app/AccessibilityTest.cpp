// What a screen reader hears of the browser, read through Qt's accessibility tree as AT-SPI
// reads it: every card and control named after what it shows; and what a keyboard user sees
// of the focus, and where it goes back to when what a control opened closes.
#include "BrowserWorld.h"

#include "app/cards/ProjectCardGrid.h"
#include "app/cards/ProjectCardView.h"
#include "app/tags/TagRenameDialog.h"
#include "app/TolvaranApp.h"
#include "app/TolvaranWindow.h"
#include "app/window/ContentView.h"
#include "app/window/TolvaranViewController.h"
#include "detail/DetailHeader.h"
#include "detail/ProjectDetailView.h"
#include "detail/ProjectDetailViewModel.h"
#include "support/ScopedEnvironment.h"
#include "support/TemporaryHome.h"
#include "support/WaitUntil.h"
#include "support/codex/FakeCodexHome.h"
#include "support/widgets/FocusStops.h"
#include "support/widgets/ScopedApplicationFont.h"
#include "support/widgets/ScopedFocusIndicatorStyle.h"
#include "team_screens/TeamsDashboardView.h"
#include "widgets/ButtonActivationKeys.h"
#include "widgets/ClosureButton.h"
#include "widgets/RenamePrompt.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

using ::testing::IsEmpty;

QString focusName()
{
    QWidget *focused = QApplication::focusWidget();
    return focused ? focused->objectName() : QStringLiteral("(nothing)");
}

// Gives `widget` the focus as Tab does, then presses Space on it.
void pressFromKeyboard(QWidget *widget)
{
    widget->setFocus(Qt::TabFocusReason);
    QTest::keyClick(widget, Qt::Key_Space);
}

class AccessibilityTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        alpha = world.addProject(QStringLiteral("cobalt-ui"), 2);
        world.addProject(QStringLiteral("delta-sync"), 1, true);
        world.codex.writeGlobalState(FakeCodexHome::globalStateObject({alpha}, {}, {}));
        world.makeModel(false);
        ASSERT_TRUE(world.refresh());
        browser = std::make_unique<TolvaranViewController>(
            *world.model, world.team, world.folderPicker, [](const QString &) {});
        browser->setOnShowTeams([] {});
        QObject::connect(browser.get(), &TolvaranViewController::rendered,
                         [this] { ++renders; });
        browser->resize(1200, 800);
        browser->show();
        ASSERT_TRUE(waitUntil([this] { return renders > 0; }));
    }

    bool rendered()
    {
        const int before = renders;
        browser->scheduleRender();
        return waitUntil([this, before] { return renders > before; });
    }

    ProjectCardView *card(const QString &name) const
    {
        auto *grid = browser->findChild<ProjectCardGrid *>(QStringLiteral("collectionView"));
        for (qsizetype index = 0; index < grid->identifiers().size(); ++index) {
            ProjectCardView *shown = grid->cardAt(index);
            if (shown && shown->model()->project.name == name)
                return shown;
        }
        return nullptr;
    }

    QWidget *control(const char *name) const
    {
        return browser->findChild<QWidget *>(QLatin1String(name));
    }

    QString controlName(const QString &project, const char *control) const
    {
        return accessibleName(card(project)->findChild<QWidget *>(QLatin1String(control)));
    }

    // The program's style, which draws the focus.
    ScopedFocusIndicatorStyle style;
    BrowserWorld world;
    std::unique_ptr<TolvaranViewController> browser;
    QString alpha;
    int renders = 0;
};

TEST_F(AccessibilityTest, aCardAndEachOfItsControlsAreNamedAfterTheProject)
{
    for (const QString &project : {QStringLiteral("cobalt-ui"), QStringLiteral("delta-sync")}) {
        SCOPED_TRACE(project.toStdString());
        ProjectCardView *shown = card(project);
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(accessibleName(shown), project);
        int buttons = 0;
        for (QAbstractButton *control : shown->findChildren<QAbstractButton *>()) {
            if (!control->isVisible())
                continue;
            ++buttons;
            EXPECT_TRUE(accessibleName(control).contains(project))
                << control->objectName().toStdString() << ": "
                << accessibleName(control).toStdString();
        }
        EXPECT_GE(buttons, 8);
    }
    EXPECT_EQ(controlName(QStringLiteral("cobalt-ui"), "detailsButton"),
              QStringLiteral("Details for cobalt-ui"));
    EXPECT_EQ(controlName(QStringLiteral("cobalt-ui"), "lastChatSegment"),
              QStringLiteral("Last Chat for cobalt-ui"));
    EXPECT_EQ(controlName(QStringLiteral("delta-sync"), "processingChip"),
              QStringLiteral("1 processing in delta-sync"));
}

// The pin's name says what pressing it does, so it changes with the pin.
TEST_F(AccessibilityTest, thePinIsNamedForItsState)
{
    EXPECT_EQ(controlName(QStringLiteral("cobalt-ui"), "pinButton"),
              QStringLiteral("Unpin cobalt-ui"));
    EXPECT_EQ(controlName(QStringLiteral("delta-sync"), "pinButton"),
              QStringLiteral("Pin delta-sync"));

    world.codex.writeGlobalState(FakeCodexHome::globalStateObject({}, {}, {}));
    ASSERT_TRUE(world.refresh());
    ASSERT_TRUE(rendered());
    EXPECT_EQ(controlName(QStringLiteral("cobalt-ui"), "pinButton"),
              QStringLiteral("Pin cobalt-ui"));
}

TEST_F(AccessibilityTest, theSearchFieldAndTheTeamButtonSayWhatTheyAre)
{
    auto *search = browser->findChild<QLineEdit *>(QStringLiteral("searchField"));
    QAccessibleInterface *field = QAccessible::queryAccessibleInterface(search);
    EXPECT_EQ(field->role(), QAccessible::EditableText);
    EXPECT_EQ(field->text(QAccessible::Name), QStringLiteral("Filter projects"));

    auto *team = browser->findChild<ClosureButton *>(QStringLiteral("teamButton"));
    ASSERT_TRUE(team->isVisible());
    EXPECT_EQ(team->text(), QStringLiteral("Add/Join Team"));
    EXPECT_EQ(accessibleName(team), QStringLiteral("Add or join a team"));

    world.team.memberships = true;
    world.team.name = QStringLiteral("Core");
    world.team.state = TeamConnectionState::connected();
    ASSERT_TRUE(rendered());
    EXPECT_EQ(accessibleName(team), QStringLiteral("Team activity"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(team)->text(QAccessible::Description),
              QStringLiteral("Core: Team connected"));
}

// Every control Tab reaches in the browser and its tag sidebar has a name and looks different
// while it holds the focus.
TEST_F(AccessibilityTest, everyStopOfTheBrowserAndItsTagSidebarIsNamedAndShowsItsFocus)
{
    world.model->addTag(QStringLiteral("Frontend"));
    world.model->addTag(QStringLiteral("Ops"));
    world.model->setTagSidebarVisible(true);
    ASSERT_TRUE(rendered());
    ASSERT_EQ(browser->sidebarPlacement(), TolvaranViewController::SidebarPlacement::docked);
    ASSERT_TRUE(activated(browser.get()));

    EXPECT_THAT(unnamedStops(browser.get()), IsEmpty());
    EXPECT_THAT(stopsWithoutVisibleFocus(browser.get()), IsEmpty());
    QStringList tagActions;
    for (QWidget *button : browser->findChildren<QWidget *>(QStringLiteral("tagActionsButton")))
        tagActions << accessibleName(button);
    EXPECT_EQ(tagActions, (QStringList{QStringLiteral("Tag actions for Frontend"),
                                       QStringLiteral("Tag actions for Ops")}));
    EXPECT_EQ(accessibleName(browser->findChild<QWidget *>(QStringLiteral("newTagField"))),
              QStringLiteral("New tag"));
}

// The two rename dialogs name their fields for what is typed there.
TEST_F(AccessibilityTest, theRenameDialogsNameTheirFields)
{
    QDialog *project = RenamePrompt::open(browser.get(), QStringLiteral("cobalt-ui"), true, 300,
                                          [](const QString &) {});
    auto *projectField = project->findChild<QLineEdit *>(QStringLiteral("nameField"));
    EXPECT_EQ(accessibleName(projectField), QStringLiteral("Project name"));
    ASSERT_TRUE(activated(project));
    EXPECT_THAT(unnamedStops(project), IsEmpty());
    EXPECT_THAT(stopsWithoutVisibleFocus(project), IsEmpty());
    project->reject();

    TagRenameDialog tag(QStringLiteral("Ops"), [](const QString &) { return std::nullopt; });
    tag.show();
    EXPECT_EQ(accessibleName(tag.findChild<QLineEdit *>(QStringLiteral("tagNameField"))),
              QStringLiteral("Tag name"));
    EXPECT_THAT(unnamedStops(&tag), IsEmpty());
}

// Where the focus goes when something opened from a control closes: back to that control, so
// the next key acts where the user was, never on whatever Qt finds next.

// Opened by a click while the focus was elsewhere as much as from the keyboard.
TEST_F(AccessibilityTest, escapeFromTheRenameDialogReturnsToTheCardsRenameButton)
{
    ASSERT_TRUE(activated(browser.get()));
    QWidget *rename = card(QStringLiteral("cobalt-ui"))->findChild<QWidget *>(
        QStringLiteral("renameButton"));
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

// The tag prompts, opened from a tag's "Tag actions" menu, give the focus back to that button
// however they close: cancelled, Escape, or done, when the rows are made anew for the renamed
// tag. A deleted tag's place goes to the tag now in its row (or the row above it, where it was
// the last), and with no tag left to "All Projects". Choosing a tag from the keyboard, which makes the rows anew too, keeps the focus
// on the chosen row.
TEST_F(AccessibilityTest, theTagPromptsGiveTheFocusBackToTheTagActionsButton)
{
    for (const char *tag : {"Frontend", "Ops", "Research"})
        world.model->addTag(QLatin1String(tag));
    world.model->setTagSidebarVisible(true);
    ASSERT_TRUE(rendered());
    ASSERT_TRUE(activated(browser.get()));
    // The rows a render made show a turn later.
    const auto tagButton = [this](const char *name, const QString &tag) {
        QWidget *found = nullptr;
        waitUntil([&] {
            for (QWidget *button : browser->findChildren<QWidget *>(QLatin1String(name))) {
                if (button->isVisible() && accessibleName(button).endsWith(tag))
                    found = button;
            }
            return found != nullptr;
        });
        return found;
    };
    const auto actionsOf = [&](const QString &tag) { return tagButton("tagActionsButton", tag); };
    // Space on the tag's actions button (or a click while the focus is elsewhere), then the
    // menu's entry from the keyboard.
    const auto choose = [&](const QString &tag, int entry, bool byKeyboard = true) {
        QWidget *actions = actionsOf(tag);
        ASSERT_NE(actions, nullptr) << tag.toStdString();
        if (byKeyboard) {
            pressFromKeyboard(actions);
        } else {
            QTest::mouseClick(control("searchField"), Qt::LeftButton);
            QTest::mouseClick(actions, Qt::LeftButton);
        }
        auto *menu = browser->findChild<QWidget *>(QStringLiteral("tagActionsMenu"));
        ASSERT_TRUE(menu && menu->isVisible());
        for (int step = 0; step <= entry; ++step)
            QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
        ASSERT_TRUE(waitUntil([] {
            QWidget *active = QApplication::activeWindow();
            return active && qobject_cast<QDialog *>(active);
        }));
    };
    const auto closeWith = [&](Qt::Key key) {
        QTest::keyClick(QApplication::focusWidget(), key);
        // As the window manager gives the window back its activation.
        ASSERT_TRUE(activated(browser.get()));
        ASSERT_TRUE(rendered());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    const auto focusOn = [](QWidget *expected) {
        return expected && QApplication::focusWidget() == expected;
    };

    for (const bool byKeyboard : {true, false}) {
        for (const int entry : {0, 1}) { // "Rename...", "Delete..."
            SCOPED_TRACE(QStringLiteral("%1 %2").arg(byKeyboard).arg(entry).toStdString());
            ASSERT_NO_FATAL_FAILURE(choose(QStringLiteral("Ops"), entry, byKeyboard));
            ASSERT_NO_FATAL_FAILURE(closeWith(Qt::Key_Escape));
            EXPECT_TRUE(focusOn(actionsOf(QStringLiteral("Ops")))) << focusName().toStdString();
        }
    }

    ASSERT_NO_FATAL_FAILURE(choose(QStringLiteral("Ops"), 0));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Operations"));
    ASSERT_NO_FATAL_FAILURE(closeWith(Qt::Key_Return));
    EXPECT_TRUE(focusOn(actionsOf(QStringLiteral("Operations")))) << focusName().toStdString();

    // Delete is the prompt's second button; Cancel has the focus first.
    const auto deleteFromKeyboard = [&](const QString &tag) {
        ASSERT_NO_FATAL_FAILURE(choose(tag, 1));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        ASSERT_EQ(focusName(), QStringLiteral("deleteButton"));
        ASSERT_NO_FATAL_FAILURE(closeWith(Qt::Key_Space));
    };
    ASSERT_NO_FATAL_FAILURE(deleteFromKeyboard(QStringLiteral("Operations")));
    EXPECT_TRUE(focusOn(actionsOf(QStringLiteral("Research")))) << focusName().toStdString();

    QWidget *frontend = tagButton("sidebarRowButton", QStringLiteral("Frontend"));
    pressFromKeyboard(frontend);
    ASSERT_TRUE(rendered());
    ASSERT_EQ(world.model->selectedTagID(), world.model->tags().constFirst().id);
    EXPECT_TRUE(focusOn(tagButton("sidebarRowButton", QStringLiteral("Frontend"))))
        << focusName().toStdString();

    ASSERT_NO_FATAL_FAILURE(deleteFromKeyboard(QStringLiteral("Research")));
    EXPECT_TRUE(focusOn(actionsOf(QStringLiteral("Frontend")))) << focusName().toStdString();
    ASSERT_NO_FATAL_FAILURE(deleteFromKeyboard(QStringLiteral("Frontend")));
    EXPECT_TRUE(focusOn(tagButton("sidebarRowButton", QStringLiteral("All Projects"))))
        << focusName().toStdString();
}

// The floating sidebar goes by its hide button or by Escape from any of its controls; either
// way the focus returns to the header's toggle that showed it.
TEST_F(AccessibilityTest, hidingTheFloatingTagSidebarReturnsToItsToggle)
{
    browser->resize(760, 800);
    ASSERT_TRUE(rendered());
    ASSERT_TRUE(activated(browser.get()));
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
TEST_F(AccessibilityTest, escapeLeavesADockedSidebarShown)
{
    world.model->setTagSidebarVisible(true);
    ASSERT_TRUE(rendered());
    QWidget *field = control("newTagField");
    field->setFocus(Qt::TabFocusReason);
    QTest::keyClick(field, Qt::Key_Escape);
    ASSERT_TRUE(rendered());
    EXPECT_EQ(browser->sidebarPlacement(), TolvaranViewController::SidebarPlacement::docked);
}

// The detail pane in the window's content: opened from a card's Details button it takes the
// focus on its first control, and, left by its back button or Escape, gives the focus back to
// that card's Details button in the browser made anew, scrolled into view.
class DetailPaneFocusTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (int index = 0; index < 10; ++index)
            world.addProject(QStringLiteral("project-%1").arg(index), 1);
        world.makeModel(false);
        ASSERT_TRUE(world.refresh());
        content = std::make_unique<ContentView>(
            *world.model, world.team, world.folderPicker, [this](const CodexProject &project) {
                return std::make_unique<ProjectDetailViewModel>(
                    project, *world.model,
                    [](const QString &, const WorkContext &) { return ProjectDetailSnapshot{}; });
            });
        content->resize(900, 600);
        content->show();
        ASSERT_TRUE(activated(content.get()));
        ASSERT_TRUE(waitUntil([this] { return grid() && card(firstOnPage()) != nullptr; }));
    }

    ProjectCardGrid *grid() const
    {
        TolvaranViewController *browser = content->browser();
        return browser ? browser->collectionView() : nullptr;
    }

    QString firstOnPage() const { return world.model->pagedProjects().constFirst().name; }
    // The project of the page's last card, below the cards in view until scrolled to.
    QString lastOnPage() const { return world.model->pagedProjects().constLast().name; }

    ProjectCardView *card(const QString &name) const
    {
        ProjectCardGrid *shown = grid();
        for (qsizetype index = 0; shown && index < shown->identifiers().size(); ++index) {
            ProjectCardView *candidate = shown->cardAt(index);
            if (candidate && candidate->model()->project.name == name)
                return candidate;
        }
        return nullptr;
    }

    QWidget *detailsButton(const QString &name) const
    {
        ProjectCardView *shown = card(name);
        return shown ? shown->findChild<QWidget *>(QStringLiteral("detailsButton")) : nullptr;
    }

    // Whether the focus is on `name`'s Details button in a browser that shows it whole.
    bool focusOnDetailsOf(const QString &name) const
    {
        QWidget *button = detailsButton(name);
        if (!button || QApplication::focusWidget() != button)
            return false;
        const QWidget *viewport = grid()->viewport();
        return viewport->rect().contains(
            QRect(button->mapTo(viewport, QPoint()), button->size()));
    }

    // Waits until `holds` holds of the focus. The offscreen platform may take the window's
    // activation as the screens change, which a window manager gives back.
    bool focusEnds(const std::function<bool()> &holds) const
    {
        return waitUntil([&] {
            if (!QApplication::activeWindow())
                content->activateWindow();
            return holds();
        });
    }

    bool focusOnBackButton() const
    {
        ProjectDetailView *pane = content->detailView();
        return pane && QApplication::focusWidget() == pane->header()->controls().constFirst();
    }

    // Return on a button, as the program has it.
    ButtonActivationKeys keys;
    BrowserWorld world;
    std::unique_ptr<ContentView> content;
};

TEST_F(DetailPaneFocusTest, theFocusGoesIntoThePaneAndBackToTheDetailsButtonThatOpenedIt)
{
    const QString name = lastOnPage();
    const auto openFromKeyboard = [&](Qt::Key key) {
        grid()->setScrollOffset(grid()->verticalScrollBar()->maximum());
        QWidget *details = detailsButton(name);
        ASSERT_NE(details, nullptr);
        details->setFocus(Qt::TabFocusReason);
        QTest::keyClick(details, key);
        ASSERT_EQ(content->screen(), ContentView::Screen::projectDetail);
        ASSERT_TRUE(focusOnBackButton()) << focusName().toStdString();
    };

    ASSERT_NO_FATAL_FAILURE(openFromKeyboard(Qt::Key_Space));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    ASSERT_EQ(content->screen(), ContentView::Screen::browser);
    EXPECT_TRUE(focusEnds([&] { return focusOnDetailsOf(name); })) << focusName().toStdString();

    ASSERT_NO_FATAL_FAILURE(openFromKeyboard(Qt::Key_Return));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space); // the back button
    ASSERT_EQ(content->screen(), ContentView::Screen::browser);
    EXPECT_TRUE(focusEnds([&] { return focusOnDetailsOf(name); })) << focusName().toStdString();
}

// A card that is no longer on the page hands its part to the first card, and a page without
// cards to the search field.
TEST_F(DetailPaneFocusTest, withoutItsCardTheFocusGoesToTheFirstCardElseTheSearchField)
{
    const QString name = firstOnPage();
    for (const bool anyCard : {true, false}) {
        SCOPED_TRACE(anyCard ? "another card" : "no card");
        QWidget *details = detailsButton(name);
        ASSERT_NE(details, nullptr);
        details->setFocus(Qt::TabFocusReason);
        QTest::keyClick(details, Qt::Key_Space);
        ASSERT_EQ(content->screen(), ContentView::Screen::projectDetail);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        // Filtered away while the pane shows.
        QString other;
        for (const ProjectCardSnapshot &project : world.model->pagedProjects()) {
            if (project.name != name)
                other = project.name;
        }
        world.model->setSearchText(anyCard ? other : QStringLiteral("no such project"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        ASSERT_EQ(content->screen(), ContentView::Screen::browser);
        if (anyCard) {
            EXPECT_TRUE(focusEnds([&] {
                ProjectCardView *first = grid()->cardAt(0);
                return first && first->model()->project.name == other
                    && first->isAncestorOf(QApplication::focusWidget());
            })) << focusName().toStdString();
        } else {
            EXPECT_TRUE(focusEnds([] { return focusName() == QStringLiteral("searchField"); }))
                << focusName().toStdString();
        }
        world.model->setSearchText(QString());
        ASSERT_TRUE(waitUntil([&] { return detailsButton(name) != nullptr; }));
    }
}

// With large text on a small laptop's screen, the bars above the cards scroll with them and
// the browser made anew as the detail pane closes lays them and its cards out in the window's
// room: the Details button that takes the focus back then shows whole in the card list, each
// time the pane is left.
TEST(WindowFocusTest, escapeFromTheDetailPaneLeavesTheFocusWhollyInsideTheCardList)
{
    ScopedApplicationFont large(15);
    TemporaryHome home;
    ScopedEnvironment environment;
    FakeCodexHome codex(home.filePath(QStringLiteral(".codex")));
    environment.useHome(home.path(), codex.path());
    for (const int index : {0, 1}) {
        FakeCodexThread thread;
        thread.id = QStringLiteral("thread-%1").arg(index);
        thread.cwd = home.filePath(QStringLiteral("code/project-%1").arg(index));
        QDir().mkpath(thread.cwd);
        thread.updatedAt = Timestamp::now().addingSeconds(-300 - index);
        thread.createdAt = thread.updatedAt;
        thread.recencyAt = thread.updatedAt;
        codex.addThread(thread);
    }
    codex.writeDatabase();
    ButtonActivationKeys keys; // Return on a button, as the program has it
    TolvaranApp app;
    TolvaranWindow &window = app.window();
    window.fitToScreen(QRect(0, 0, 1024, 576), true); // 1024 by 600 below a title bar
    window.show();
    ASSERT_TRUE(waitUntil([&app] { return app.viewModel().lastRefreshedAt().has_value(); }));
    ASSERT_TRUE(activated(&window));
    ContentView &content = *window.contentView();
    const auto grid = [&content] { return content.browser()->collectionView(); };
    // The offscreen platform may take the window's activation as the screens change, which a
    // window manager gives back.
    const auto focusEnds = [&](const std::function<bool(QWidget *)> &holds) {
        return waitUntil([&] {
            if (!QApplication::activeWindow())
                window.activateWindow();
            return QApplication::focusWidget() && holds(QApplication::focusWidget());
        });
    };

    for (const int index : {0, 1, 0}) {
        SCOPED_TRACE(index);
        ASSERT_TRUE(waitUntil([&] { return grid()->cardAt(index) != nullptr; }));
        QWidget *details =
            grid()->cardAt(index)->findChild<QWidget *>(QStringLiteral("detailsButton"));
        details->setFocus(Qt::TabFocusReason);
        QTest::keyClick(details, Qt::Key_Return);
        runQueuedWork();
        ASSERT_TRUE(focusEnds([&](QWidget *focused) {
            return content.detailView() && content.detailView()->isAncestorOf(focused);
        })) << focusName().toStdString();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        ASSERT_EQ(content.screen(), ContentView::Screen::browser);
        ASSERT_TRUE(focusEnds([&](QWidget *focused) {
            return grid()->cardAt(index) && grid()->cardAt(index)->isAncestorOf(focused)
                && focused->objectName() == QStringLiteral("detailsButton");
        })) << focusName().toStdString();
        runQueuedWork(); // the bars and the cards laid out in the window's room
        QWidget *focused = QApplication::focusWidget();
        const QRect area(focused->mapTo(grid()->viewport(), QPoint()), focused->size());
        EXPECT_TRUE(grid()->viewport()->rect().contains(area))
            << area.top() << "-" << area.bottom() << " of " << grid()->viewport()->height();
    }
}

TEST(TeamsScreenFocusTest, escapeFromTheTeamsDashboardReturnsToTheTeamButton)
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
    ASSERT_TRUE(activated(&window));
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
