// What a screen reader hears of the browser, read through Qt's accessibility tree as AT-SPI
// reads it: every card and control named after what it shows.
#include "BrowserWorld.h"

#include "app/cards/ProjectCardGrid.h"
#include "app/cards/ProjectCardView.h"
#include "app/window/TolvaranViewController.h"
#include "support/WaitUntil.h"
#include "widgets/ClosureButton.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <memory>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

QString accessibleName(QWidget *widget)
{
    QAccessibleInterface *node = QAccessible::queryAccessibleInterface(widget);
    return node ? node->text(QAccessible::Name) : QString();
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

    QString controlName(const QString &project, const char *control) const
    {
        return accessibleName(card(project)->findChild<QWidget *>(QLatin1String(control)));
    }

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

} // namespace
