// Return and keypad Enter on a focused button act as Space: on every kind of button, on the
// buttons of the browser, the detail pane and the teams' screen and of every dialog, without
// a button being made the default one; other controls keep their own Return, and in a dialog
// it presses the default button. Every dialog also fits a small screen at any text size, and
// opens centred over its window, on that window's screen.
#include "BrowserWorld.h"
#include "ProgramWindowWorld.h"
#include "team_screens/TeamScreensWorld.h"

#include "app/FileDialogFolderPicker.h"
#include "app/TolvaranWindow.h"
#include "app/cards/ProjectCardGrid.h"
#include "app/tags/TagDeletionPrompt.h"
#include "app/tags/TagRenameDialog.h"
#include "app/window/ContentView.h"
#include "app/window/TolvaranViewController.h"
#include "app/window/UpdateControl.h"
#include "detail/DetailTabBar.h"
#include "detail/ProjectDetailView.h"
#include "detail/ProjectDetailViewModel.h"
#include "support/widgets/FocusStops.h"
#include "support/widgets/OffscreenScreens.h"
#include "support/widgets/ScopedApplicationFont.h"
#include "team_screens/TeamPeopleAccessView.h"
#include "team_screens/TeamScreenWorkspace.h"
#include "team_screens/TeamSettingsView.h"
#include "team_screens/TeamsDashboardView.h"
#include "widgets/ButtonActivationKeys.h"
#include "widgets/ClosureButton.h"
#include "widgets/RenamePrompt.h"
#include "widgets/screen_fit/DialogFit.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <utility>

namespace tolvaran {

// Places a dialog on a screen of the test's choosing: the offscreen platform has one screen.
class DialogFitTesting
{
public:
    static void fitToScreen(QWidget *dialog, const QRect &available)
    {
        DialogFit::fitToScreen(dialog, available);
    }

    static bool isOpening(const QWidget *dialog) { return fitterOf(dialog)->m_isOpening; }

    // Its time to open from its next show: the test waits that long for each dialog.
    static void limitOpening(const QWidget *dialog, std::chrono::milliseconds limit)
    {
        fitterOf(dialog)->m_openingLimit.setInterval(limit);
    }

    // Dialogs shown from now on open only once `letOpen` lets them, however slowly the test's
    // reports reach them; until the guard returned goes.
    static auto keepOpening()
    {
        usualSettleTime = std::exchange(DialogFit::s_settleTime, std::chrono::hours(1));
        usualOpeningTimeLimit =
            std::exchange(DialogFit::s_openingTimeLimit, std::chrono::hours(1));
        return qScopeGuard([] {
            DialogFit::s_settleTime = usualSettleTime;
            DialogFit::s_openingTimeLimit = usualOpeningTimeLimit;
        });
    }

    // Lets `dialog` open once its frames have rested as usual.
    static void letOpen(const QWidget *dialog)
    {
        fitterOf(dialog)->m_settling.setInterval(usualSettleTime);
        fitterOf(dialog)->m_openingLimit.setInterval(usualOpeningTimeLimit);
    }

private:
    inline static std::chrono::milliseconds usualSettleTime{};
    inline static std::chrono::milliseconds usualOpeningTimeLimit{};

    static DialogFit *fitterOf(const QWidget *dialog)
    {
        return dialog->findChild<DialogFit *>(QString(), Qt::FindDirectChildrenOnly);
    }
};

} // namespace tolvaran

using namespace tolvaran;
using namespace tolvaran::fixtures;
using namespace std::chrono_literals;

namespace {

struct Key
{
    const char *name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
};

const Key space{"Space", Qt::Key_Space, Qt::NoModifier};
const Key activationKeys[] = {
    {"Return", Qt::Key_Return, Qt::NoModifier},
    {"Enter", Qt::Key_Enter, Qt::KeypadModifier},
};

// What a button did and showed through one press and release of a key.
struct Pressing
{
    QStringList signals;
    bool downWhileHeld = false;
    QImage before; // focused, before the key
    QImage held;
    QImage after;
};

Pressing press(QAbstractButton *button, const Key &key)
{
    Pressing pressing;
    const QObject listening; // ends the connections with the function
    const auto record = [&](const char *signal) {
        return [&pressing, signal] { pressing.signals << QLatin1String(signal); };
    };
    QObject::connect(button, &QAbstractButton::pressed, &listening, record("pressed"));
    QObject::connect(button, &QAbstractButton::released, &listening, record("released"));
    QObject::connect(button, &QAbstractButton::clicked, &listening, record("clicked"));
    QObject::connect(button, &QAbstractButton::toggled, &listening, record("toggled"));
    button->window()->setAttribute(Qt::WA_KeyboardFocusChange);
    button->setFocus(Qt::TabFocusReason);
    pressing.before = button->grab().toImage();
    QTest::keyPress(button, key.key, key.modifiers);
    pressing.downWhileHeld = button->isDown();
    pressing.held = button->grab().toImage();
    QTest::keyRelease(button, key.key, key.modifiers);
    pressing.after = button->grab().toImage();
    return pressing;
}

struct ButtonKind
{
    const char *name;
    std::function<QAbstractButton *(QWidget *parent)> make;
};

const ButtonKind buttonKinds[] = {
    {"push", [](QWidget *parent) { return new QPushButton(QStringLiteral("Save"), parent); }},
    {"symbol",
     [](QWidget *parent) {
         return ClosureButton::symbol(QStringLiteral("plus"), QStringLiteral("Add"), parent);
     }},
    {"checkable tool",
     [](QWidget *parent) {
         auto *button = new QToolButton(parent);
         button->setText(QStringLiteral("Tags"));
         button->setCheckable(true);
         return button;
     }},
};

class ButtonKeysTest : public ::testing::Test
{
protected:
    ButtonActivationKeys keys;
};

// Each kind of button goes down while Return or Enter is held and is clicked as it comes up,
// with the signals and the look Space gives it: no default button's frame.
TEST_F(ButtonKeysTest, returnAndEnterPressEachKindOfButtonAsSpaceDoes)
{
    for (const ButtonKind &kind : buttonKinds) {
        const auto pressWith = [&](const Key &key) {
            QWidget window;
            auto *row = new QHBoxLayout(&window);
            QAbstractButton *button = kind.make(&window);
            row->addWidget(button);
            window.show();
            EXPECT_TRUE(activated(&window));
            return press(button, key);
        };
        const Pressing bySpace = pressWith(space);
        for (const Key &key : activationKeys) {
            SCOPED_TRACE(std::string(kind.name) + " " + key.name);
            const Pressing byKey = pressWith(key);
            EXPECT_EQ(byKey.signals, bySpace.signals);
            EXPECT_TRUE(byKey.signals.contains(QStringLiteral("clicked")));
            EXPECT_TRUE(byKey.downWhileHeld);
            EXPECT_EQ(byKey.before, bySpace.before);
            EXPECT_EQ(byKey.held, bySpace.held);
            EXPECT_EQ(byKey.after, bySpace.after);
        }
    }
}

// Return with a modifier, and Return in a field, are not a button's: they do what they did.
TEST_F(ButtonKeysTest, otherControlsAndModifiedKeysKeepTheirReturn)
{
    QWidget window;
    auto *row = new QHBoxLayout(&window);
    auto *field = new QLineEdit(&window);
    auto *button = new QToolButton(&window);
    button->setText(QStringLiteral("Add"));
    row->addWidget(field);
    row->addWidget(button);
    window.show();
    ASSERT_TRUE(activated(&window));
    QSignalSpy returns(field, &QLineEdit::returnPressed);
    QSignalSpy clicks(button, &QAbstractButton::clicked);

    field->setFocus(Qt::TabFocusReason);
    QTest::keyClick(field, Qt::Key_Return);
    QTest::keyClick(field, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(returns.size(), 2);

    button->setFocus(Qt::TabFocusReason);
    for (const Qt::KeyboardModifier modifier :
         {Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier}) {
        QTest::keyClick(button, Qt::Key_Return, modifier);
        EXPECT_EQ(clicks.size(), 0) << modifier;
    }
}

// The teams the dashboard manages: none, and none to add (Add Team opens no sheet).
class NoTeamScreens final : public TeamScreenWorkspace
{
public:
    QList<TeamScreenTeam *> teams() const override { return {}; }
    QString selectedManagementTeamID() const override { return {}; }
    TeamScreenTeam *selectedManagementTeam() const override { return nullptr; }
    void selectManagementTeam(const QString &) override {}
    TeamScreenTeam *beginAddingTeam() override { return nullptr; }
    void commitAddedTeam(TeamScreenTeam *) override {}
    void discardAddedTeam(TeamScreenTeam *) override {}
    void removeTeam(const QString &) override {}
    bool hasTeamMemberships() const override { return false; }
};

// The window's content over twelve projects (two pages), with the teams' screen offered.
class ScreenButtonKeysTest : public ::testing::Test
{
protected:
    enum class Screen { browser, detail, chats, teams };

    void SetUp() override
    {
        for (int index = 0; index < 12; ++index)
            world.addProject(QStringLiteral("project-%1").arg(index, 2, 10, QLatin1Char('0')), 1);
        world.makeModel(true);
        ASSERT_TRUE(world.refresh());
        content = std::make_unique<ContentView>(
            *world.model, world.team, world.folderPicker, [this](const CodexProject &project) {
                return std::make_unique<ProjectDetailViewModel>(
                    project, *world.model,
                    [](const QString &, const WorkContext &) { return ProjectDetailSnapshot{}; });
            });
        content->setTeamScreens(&teams);
        content->resize(1200, 800);
        content->show();
        ASSERT_TRUE(activated(content.get()));
    }

    // Shows `screen` as it first shows (the browser on its first page) and returns its
    // button named `name`, once it shows.
    QAbstractButton *button(Screen screen, const char *name)
    {
        content->closeTeams();
        content->closeProject();
        world.model->setTagSidebarVisible(true);
        world.model->updatePagedProjects(true);
        if (screen == Screen::teams)
            content->showTeams();
        if (screen == Screen::detail || screen == Screen::chats)
            content->openProject(world.model->pagedProjects().constFirst().path);
        for (auto *tab : content->findChildren<DetailTabButton *>()) {
            if (screen == Screen::chats && tab->tab() == ProjectDetailTab::chats)
                tab->click();
        }
        // The offscreen platform may take the window's activation as the screens change.
        EXPECT_TRUE(activated(content.get()));
        QAbstractButton *found = nullptr;
        waitUntil([&] {
            for (auto *candidate : content->findChildren<QAbstractButton *>(name)) {
                if (candidate->isVisible() && candidate->isEnabled())
                    found = candidate;
            }
            return found != nullptr;
        });
        return found;
    }

    ButtonActivationKeys keys;
    BrowserWorld world;
    NoTeamScreens teams;
    std::unique_ptr<ContentView> content;
};

// Every kind of button the screens have takes Return and Enter as it takes Space: pressed,
// released and clicked once, and none is drawn as the default button for it (one that is the
// default by design stays so).
TEST_F(ScreenButtonKeysTest, eachButtonOfTheScreensTakesReturnAndEnterAsSpace)
{
    const struct
    {
        Screen screen;
        const char *name;
    } controls[] = {
        {Screen::browser, "sidebarToggle"}, {Screen::browser, "teamButton"},
        {Screen::browser, "pinButton"},     {Screen::browser, "detailsButton"},
        {Screen::browser, "nextButton"},    {Screen::browser, "sidebarHideButton"},
        {Screen::detail, "backButton"},     {Screen::detail, "lastChatButton"},
        {Screen::detail, "newChatButton"},  {Screen::detail, "detailTab"},
        {Screen::chats, "recentChatRow"},   {Screen::teams, "addTeamButton"},
        {Screen::teams, "backButton"},
    };
    const Key pressedKeys[] = {space, activationKeys[0], activationKeys[1]};
    for (const auto &control : controls) {
        for (const Key &key : pressedKeys) {
            SCOPED_TRACE(std::string(control.name) + " " + key.name);
            QAbstractButton *shown = button(control.screen, control.name);
            ASSERT_NE(shown, nullptr);
            auto *push = qobject_cast<QPushButton *>(shown);
            const bool wasDefault = push && push->isDefault();
            QSignalSpy pressed(shown, &QAbstractButton::pressed);
            QSignalSpy released(shown, &QAbstractButton::released);
            QSignalSpy clicked(shown, &QAbstractButton::clicked);
            shown->setFocus(Qt::TabFocusReason);
            ASSERT_TRUE(shown->hasFocus());
            QTest::keyPress(shown, key.key, key.modifiers);
            if (push) {
                EXPECT_EQ(push->isDefault(), wasDefault);
            }
            QTest::keyRelease(shown, key.key, key.modifiers);
            EXPECT_EQ(pressed.size(), 1);
            EXPECT_EQ(released.size(), 1);
            EXPECT_EQ(clicked.size(), 1);
        }
    }
}

// The button of `root` named `name`, once it shows.
QAbstractButton *shownButton(const QWidget *root, const char *name)
{
    QAbstractButton *shown = nullptr;
    EXPECT_TRUE(waitUntil([&] {
        for (auto *button : root->findChildren<QAbstractButton *>(QLatin1String(name))) {
            if (button->isVisible())
                shown = button;
        }
        return shown != nullptr;
    })) << name;
    return shown;
}

void trigger(const QMenu *menu, const QString &entry)
{
    for (QAction *action : menu->actions()) {
        if (action->text() == entry)
            return action->trigger();
    }
    ADD_FAILURE() << "no entry " << entry.toStdString();
}

// How far (the larger of the two ways) the dialog's frame lies from where it opens: centred
// over its window's frame, and moved just inside `available` where that area cuts it.
int awayFromItsPlace(const QWidget *dialog, const QWidget *window, const QRect &available)
{
    const QRect frame = dialog->frameGeometry();
    QRect place = frame;
    place.moveCenter(window->frameGeometry().center());
    place.moveTo(
        std::clamp(place.left(), available.left(), available.right() + 1 - place.width()),
        std::clamp(place.top(), available.top(), available.bottom() + 1 - place.height()));
    const QPoint offset = frame.topLeft() - place.topLeft();
    return std::max(std::abs(offset.x()), std::abs(offset.y()));
}

// Rejects an open dialog; answers whether it then closes.
bool closed(QWidget *opened)
{
    const QPointer<QWidget> dialog(opened);
    qobject_cast<QDialog *>(opened)->reject();
    // The join sheet goes by deleteLater(), which waiting here does not run.
    return waitUntil([&dialog] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const QWidget *shown = dialog.data();
        return shown == nullptr || !shown->isVisible();
    });
}

// Every dialog, sheet and alert, each opened by its opener over a new window, the last one
// gone with all it opened: over the teams' screen, a team whose device is its owner, which the
// local team server refuses to let go with a sentence longer than a screen.
class DialogsTest : public TeamScreensWorld
{
protected:
    void SetUp() override
    {
        TeamScreensWorld::SetUp();
        team = registeredTeam(QStringLiteral("core"), QStringLiteral("Ada"),
                              TeamInstallationRole::owner);
        const QByteArray refusal = "{\"error\":\"" + QByteArray("Busy. ").repeated(600) + "\"}";
        for (const char *path : {"/v1/team", "/v1/team/membership"})
            server.failNext("DELETE", QLatin1String(path), 409, refusal, 1000);
    }

    // The dialogs, the join sheet first; each opens a new one and returns it.
    std::vector<std::pair<const char *, std::function<QWidget *()>>> dialogs()
    {
        const auto window = [this] {
            m_window = std::make_unique<QWidget>();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            m_window->show();
            return m_window.get();
        };
        const auto askToRemove = [=, this] {
            auto *view = new TeamsDashboardView(workspace, [] {}, window());
            view->askToRemove(team);
            return view;
        };
        return {
            {"join sheet", [=, this] {
                 auto *view = new TeamsDashboardView(workspace, [] {}, window());
                 view->addTeam();
                 return view->joinSheet();
             }},
            {"leave alert", [=] { return askToRemove()->removalAlert(); }},
            {"failure alert", [=] {
                 TeamsDashboardView *view = askToRemove();
                 view->removalAlert()->buttons().constLast()->click(); // leave
                 waitUntil([view] { return view->failureAlert() != nullptr; });
                 return view->failureAlert();
             }},
            {"transfer alert", [=, this] {
                 auto *view = new TeamPeopleAccessView(*team, window());
                 view->askToTransferOwnership(TeamInstallation());
                 return view->transferAlert();
             }},
            {"rename prompt", [=] { return RenamePrompt::open(window(), {}, true, 320, {}); }},
            {"tag rename", [=] {
                 auto *dialog = new TagRenameDialog(QStringLiteral("Ops"), {}, window());
                 dialog->open();
                 return dialog;
             }},
            {"tag deletion", [=] { return openTagDeletionPrompt(window(), {}, {}); }},
            {"new project folder", [=] {
                 QWidget *opener = window();
                 FileDialogFolderPicker(opener).chooseNewFolder({}, [](const auto &) {});
                 return opener->findChild<QFileDialog *>();
             }},
        };
    }

    // A second team, "Crew", which this device owns beside an admin, Cy, to hand it to (an
    // owner hands a team over once its legacy key is retired).
    void addCrew()
    {
        const QString crewID = server.createTeam(QStringLiteral("Crew"), teamKeys::beta);
        server.team(crewID).legacyKeyEnabled = false;
        FixedScreenTeam *crew = workspace.addListedTeam(QStringLiteral("crew"));
        TeamSettingsStore &settings = crew->settings();
        settings.setMemberName(QStringLiteral("Ada"));
        settings.setTeamName(QStringLiteral("Crew"));
        settings.setEnabled(true);
        settings.save(teamKeys::beta);
        settings.saveInstallation(crewID,
                                  server.registerDevice(crewID, settings.deviceID(),
                                                        QStringLiteral("Ada"),
                                                        TeamInstallationRole::owner),
                                  TeamInstallationRole::owner);
        server.registerDevice(crewID, QStringLiteral("device-cy"), QStringLiteral("Cy"),
                              TeamInstallationRole::admin);
        connect(*crew);
    }

    // The dialogs opened from their controls in the program's window, as the user opens them;
    // each opens a new one and returns it. The teams are connected: the sole owner of "Core"
    // may delete it, and "Crew" has an admin to hand it to.
    std::vector<std::pair<const char *, std::function<QWidget *()>>> openedFromTheirControls()
    {
        if (!program) {
            connect(*team);
            addCrew();
            program = std::make_unique<ProgramWindowWorld>(workspace, home.path());
        }
        ProgramWindowWorld &shown = *program;
        const auto teamsOf = [this, &shown](const char *teamID) {
            workspace.selectManagementTeam(QLatin1String(teamID));
            return shown.showTeams();
        };
        const auto tagAction = [&shown](const QString &entry, const char *dialogName) {
            return [&shown, entry, dialogName]() -> QWidget * {
                shown.showBrowser();
                TolvaranViewController *browser = shown.content().browser();
                shownButton(browser, "tagActionsButton")->click();
                trigger(browser->findChild<QMenu *>(QStringLiteral("tagActionsMenu")), entry);
                return browser->findChild<QDialog *>(QLatin1String(dialogName));
            };
        };
        const auto removalAlert = [teamsOf] {
            TeamsDashboardView *teams = teamsOf("core");
            shownButton(teams, "removeTeamButton")->click();
            return teams->removalAlert();
        };
        return {
            {"rename prompt from a card", [&shown] {
                 shown.showBrowser();
                 QAbstractButton *rename = shownButton(shown.content().browser(), "renameButton");
                 rename->click();
                 return rename->findChild<QDialog *>(QStringLiteral("renameDialog"));
             }},
            {"rename prompt from the detail header", [&shown] {
                 shown.showBrowser();
                 shown.content().openProject(shown.project);
                 QAbstractButton *rename =
                     shownButton(shown.content().detailView(), "renameButton");
                 rename->click();
                 return rename->findChild<QDialog *>(QStringLiteral("renameDialog"));
             }},
            {"tag rename from the sidebar",
             tagAction(QStringLiteral("Rename..."), "tagRenameDialog")},
            {"tag deletion from the sidebar",
             tagAction(QStringLiteral("Delete..."), "tagDeletionPrompt")},
            {"new project folder from the menu", [&shown] {
                 shown.showBrowser();
                 shown.window->newProjectAction()->trigger();
                 QFileDialog *dialog = nullptr;
                 waitUntil([&] {
                     dialog = shown.window->findChild<QFileDialog *>();
                     return dialog && dialog->isVisible();
                 });
                 return dialog;
             }},
            {"update failure from the update control", [&shown] {
                 shown.showBrowser();
                 UpdateControl *control = shown.content().browser()->updateControl();
                 control->button()->click();
                 waitUntil([control] { return control->failureAlert() != nullptr; });
                 return control->failureAlert();
             }},
            {"join sheet from the teams' screen", [&shown] {
                 TeamsDashboardView *teams = shown.showTeams();
                 shownButton(teams, "addTeamButton")->click();
                 return teams->joinSheet();
             }},
            {"removal alert from the teams' screen", removalAlert},
            {"failure alert of the refused removal", [removalAlert] {
                 QMessageBox *removal = removalAlert();
                 TeamsDashboardView *teams = qobject_cast<TeamsDashboardView *>(removal->parent());
                 removal->buttons().constLast()->click(); // "Delete Team"
                 waitUntil([teams] { return teams->failureAlert() != nullptr; });
                 return teams->failureAlert();
             }},
            {"transfer alert from the people tab", [teamsOf] {
                 TeamsDashboardView *teams = teamsOf("crew");
                 for (auto *tab : teams->findChildren<QPushButton *>()) {
                     if (tab->text() == QLatin1String("People"))
                         tab->click();
                 }
                 QPushButton *manage = nullptr;
                 waitUntil([&] {
                     for (auto *row : teams->findChildren<QWidget *>("installationRow")) {
                         if (row->property("deviceId") == QStringLiteral("device-cy"))
                             manage = row->findChild<QPushButton *>("manageButton");
                     }
                     return manage != nullptr;
                 });
                 trigger(manage->menu(), QStringLiteral("Transfer Ownership"));
                 return teams->findChild<TeamPeopleAccessView *>()->transferAlert();
             }},
        };
    }

    ButtonActivationKeys keys;
    FixedScreenTeam *team = nullptr;
    std::unique_ptr<QWidget> m_window;
    std::unique_ptr<ProgramWindowWorld> program;
};

// Return and Enter on each focused button of each dialog press that button and no other (the
// join sheet's "Cancel" and close button neither save nor join); Return in a field presses the
// default button. Qt's own file dialog keeps its field's and list's Return.
TEST_F(DialogsTest, returnAndEnterPressTheFocusedButtonAndFromAFieldTheDefault)
{
    const auto controlsOf = [](QWidget *dialog) {
        QWidgetList controls;
        for (QWidget *control : dialog->findChildren<QWidget *>()) {
            if ((qobject_cast<QAbstractButton *>(control) || qobject_cast<QLineEdit *>(control))
                && control->isVisible() && control->isEnabled()
                && (control->focusPolicy() & Qt::TabFocus))
                controls << control;
        }
        return qobject_cast<QFileDialog *>(dialog) ? QWidgetList() : controls;
    };
    for (const auto &[name, open] : dialogs()) {
        for (qsizetype index = 0; index < controlsOf(open()).size(); ++index) {
            for (const Key &key : activationKeys) {
                QWidget *dialog = open();
                ASSERT_TRUE(dialog && activated(dialog)) << name;
                QWidget *control = controlsOf(dialog).at(index);
                SCOPED_TRACE(std::string(name) + ", " + key.name + " on "
                             + control->objectName().toStdString());
                control->setFocus(Qt::TabFocusReason);
                auto *expected = qobject_cast<QAbstractButton *>(control);
                QList<QAbstractButton *> clicked;
                for (auto *button : dialog->findChildren<QAbstractButton *>()) {
                    auto *push = qobject_cast<QPushButton *>(button);
                    expected = !expected && push && push->isDefault() ? push : expected;
                    QObject::connect(button, &QAbstractButton::clicked, control,
                                     [&clicked, button] { clicked << button; });
                }
                QTest::keyClick(control, key.key, key.modifiers);
                EXPECT_EQ(clicked, QList<QAbstractButton *>{expected});
            }
        }
    }
}

// At 10, 15 and 20 points each dialog, its frame included, lies inside a screen of 1024 by 600
// whole, nothing of it cut.
TEST_F(DialogsTest, eachFitsASmallScreenAtEveryTextSize)
{
    const QRect small(0, 0, 1024, 600);
    for (const double points : {10.0, 15.0, 20.0}) {
        ScopedApplicationFont font(points);
        for (const auto &[name, open] : dialogs()) {
            SCOPED_TRACE(std::string(name) + " at " + std::to_string(points));
            QWidget *dialog = open();
            ASSERT_TRUE(dialog && activated(dialog));
            DialogFitTesting::fitToScreen(dialog, small);
            const QMargins frame = dialog->windowHandle()->frameMargins();
            ASSERT_FALSE(frame.isNull());
            EXPECT_TRUE(small.contains(dialog->geometry() + frame));
            // Smaller than its layout's least size, a dialog would cut or overlap its content.
            const QLayout *layout = dialog->layout();
            EXPECT_LE(layout->totalMinimumSize().width(), dialog->width());
            EXPECT_LE(std::max(layout->totalMinimumSize().height(),
                               layout->totalMinimumHeightForWidth(dialog->width())),
                      dialog->height());
        }
    }
}

// Each dialog opens from its control centred over the program's window (frames included),
// the window away from the screen's corner: on the test's own screen, and placed on a large
// one. Where the screen's edge cuts that place, it lies just inside the edge. A window manager
// is told that it belongs to the window, which keeps it over the window. Once open, framed or
// not (where its frame never becomes known), it stays where it is moved.
TEST_F(DialogsTest, eachOpensCentredOverItsWindowAndInsideTheScreen)
{
    const QRect large(0, 0, 1920, 1080);
    const struct
    {
        const char *name;
        QPoint windowAt;
        bool undecorated;
    } rows[] = {
        {"the window away from the corner", {369, 140}, false},
        {"the window over the screen's right and bottom edges", {1300, 500}, false},
        {"the dialog undecorated", {369, 140}, true},
    };
    for (const auto &row : rows) {
        const auto openers = openedFromTheirControls();
        TolvaranWindow &window = *program->window;
        window.fitToScreen(large, true);
        window.move(row.windowAt);
        for (const auto &[name, open] : openers) {
            SCOPED_TRACE(std::string(name) + ", " + row.name);
            QWidget *const opened = open();
            ASSERT_NE(opened, nullptr);
            if (row.undecorated) {
                // Made again: the offscreen platform keeps the frame a window was made with.
                opened->hide();
                opened->windowHandle()->destroy();
                opened->setWindowFlag(Qt::FramelessWindowHint);
                DialogFitTesting::limitOpening(opened, 300ms);
                opened->show();
            }
            ASSERT_TRUE(opened->isVisible());
            EXPECT_EQ(opened->windowHandle()->transientParent(), window.windowHandle());
            runQueuedWork();
            const QRect available = opened->screen()->availableGeometry();
            EXPECT_LE(awayFromItsPlace(opened, &window, available), 2);
            ASSERT_TRUE(waitUntil([opened] { return !DialogFitTesting::isOpening(opened); }));
            opened->move(available.topLeft());
            runQueuedWork();
            EXPECT_EQ(opened->frameGeometry().topLeft(), available.topLeft());
            DialogFitTesting::fitToScreen(opened, large);
            EXPECT_LE(awayFromItsPlace(opened, &window, large), 2);
            ASSERT_TRUE(closed(opened));
        }
    }
}

// Each dialog opens on the screen that holds its window's centre, centred over the window and
// inside that screen's free area, with a second screen of another size to the right of the
// first or to its left, the window on either or across both. X11 may report a dialog, a
// moment after it was placed, on the screen where its window was made or was while the
// window manager framed it; such a report, at any turn of the event loop, moves nothing.
TEST_F(DialogsTest, eachOpensOnItsWindowsScreenWhereverTheReportsSayItIs)
{
    const QRect first(0, 0, 1920, 1080);
    if (QGuiApplication::screens().size() < 2) {
        const QList<bool> passed = runCurrentTestOnScreens(
            {{first, QRect(1920, 0, 1366, 768)}, {first, QRect(-1366, 200, 1366, 768)}});
        EXPECT_EQ(passed, QList<bool>({true, true})) << "the second screen to the right, left";
        return;
    }
    const auto openers = openedFromTheirControls();
    TolvaranWindow &window = *program->window;
    window.resize(1000, 700);
    const QRect second = QGuiApplication::screens().at(1)->geometry();
    const int outward = second.x() > first.x() ? 1 : -1;
    const int sharedEdge = outward > 0 ? second.left() : first.left();
    const int middle = second.center().y();
    const struct
    {
        const char *name;
        QPoint windowCentre;
    } rows[] = {
        {"the window centred on the second screen", second.center()},
        {"the window in the second screen's corner",
         second.topLeft() + window.frameGeometry().center() - window.frameGeometry().topLeft()},
        {"the window half off the second screen's outer edge",
         {outward > 0 ? second.right() : second.left(), middle}},
        {"the window across both, its centre on the second", {sharedEdge + outward * 90, middle}},
        {"the window across both, its centre on the first", {sharedEdge - outward * 90, middle}},
        {"the window on the first screen", first.center()},
    };
    constexpr int openings = 10;
    for (const auto &row : rows) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(row.windowCentre);
        window.move(frame.topLeft());
        QScreen *windowScreen = QGuiApplication::screenAt(window.frameGeometry().center());
        ASSERT_NE(windowScreen, nullptr) << row.name;
        QScreen *otherScreen = QGuiApplication::screens().at(
            windowScreen == QGuiApplication::screens().at(0) ? 1 : 0);
        for (const auto &[name, open] : openers) {
            for (int turns = 0; turns < openings; ++turns) {
                SCOPED_TRACE(std::string(name) + ", " + row.name + ", reported elsewhere after "
                             + std::to_string(turns) + " turns");
                QWidget *const opened = open();
                ASSERT_NE(opened, nullptr);
                ASSERT_TRUE(opened->isVisible());
                runQueuedWork(turns);
                opened->windowHandle()->setScreen(otherScreen);
                runQueuedWork();
                EXPECT_EQ(QGuiApplication::screenAt(opened->frameGeometry().center()),
                          windowScreen);
                EXPECT_EQ(opened->screen(), windowScreen);
                EXPECT_LE(awayFromItsPlace(opened, &window, windowScreen->availableGeometry()),
                          2);
                ASSERT_TRUE(closed(opened));
            }
        }
    }
}

// Each prompt whose text wraps opens as tall as that text needs at the width it opens at, no
// taller and nothing of it cut: ten times each, at 20 points on a screen of 1024 by 600 and at
// 10 on one of 1366 by 768. While a dialog opens, X11 reports a size it had a moment before,
// narrower, and then the width it opened at with the height it has by then; here the first
// report comes after each number of turns of the event loop.
TEST_F(DialogsTest, eachPromptOpensAsTallAsItsTextWhateverSizesAreReported)
{
    const QRect small(0, 0, 1024, 600);
    const QRect common(0, 0, 1366, 768);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    if (screen != small && screen != common) {
        const QList<bool> passed = runCurrentTestOnScreens({{small}, {common}});
        EXPECT_EQ(passed, QList<bool>({true, true}))
            << "20 pt on 1024 by 600, 10 pt on 1366 by 768";
        return;
    }
    ScopedApplicationFont font(screen == small ? 20.0 : 10.0);
    const auto openers = openedFromTheirControls();
    // The reports reach each dialog while it opens, however busy the machine.
    const auto opening = DialogFitTesting::keepOpening();
    constexpr int openings = 10;
    for (const auto &[name, open] : openers) {
        if (!QByteArray(name).contains("rename"))
            continue;
        for (int turns = 0; turns < openings; ++turns) {
            SCOPED_TRACE(std::string(name) + ", a narrower size reported after "
                         + std::to_string(turns) + " turns");
            QWidget *const opened = open();
            ASSERT_NE(opened, nullptr);
            ASSERT_TRUE(opened->isVisible());
            const int openedWidth = opened->width();
            runQueuedWork(turns);
            opened->windowHandle()->resize(openedWidth * 2 / 3, opened->height());
            runQueuedWork();
            DialogFitTesting::letOpen(opened);
            opened->windowHandle()->resize(openedWidth, opened->height());
            ASSERT_TRUE(waitUntil([opened] { return !DialogFitTesting::isOpening(opened); }));
            const QMargins frame = opened->windowHandle()->frameMargins();
            const QRect available = opened->screen()->availableGeometry();
            EXPECT_TRUE(available.contains(opened->frameGeometry()));
            EXPECT_EQ(opened->width(), openedWidth);
            const int textHeight = opened->layout()->totalHeightForWidth(opened->width());
            EXPECT_EQ(opened->height(),
                      std::min(textHeight, available.height() - frame.top() - frame.bottom()));
            ASSERT_TRUE(closed(opened));
        }
    }
}

} // namespace
