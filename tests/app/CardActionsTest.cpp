// What the buttons and menus of a project card do.
#include "BrowserControlsTest.h"

#include "app/cards/ProjectCardGrid.h"
#include "app/cards/ProjectCardView.h"
#include "widgets/SegmentedControl.h"
#include "app/tags/TagRenameDialog.h"
#include "app/window/TolvaranViewController.h"
#include "support/QtPrinters.h"
#include "support/WaitUntil.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

class CardActionsTest : public BrowserControlsTest
{
protected:
    ProjectCardView *card(const QString &path)
    {
        ProjectCardGrid *grid = browser->collectionView();
        ProjectCardView *found = nullptr;
        EXPECT_TRUE(waitUntil([&] {
            const qsizetype index = grid->identifiers().indexOf(path);
            found = index < 0 ? nullptr : grid->cardAt(index);
            return found != nullptr;
        })) << path.toStdString();
        return found;
    }

    template <typename T = QToolButton>
    static T *part(ProjectCardView *card, const char *name)
    {
        auto *widget = card->findChild<T *>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    QStringList openedThreads() const
    {
        QStringList ids;
        for (const auto &opened : world.codexLauncher->openedThreads)
            ids.append(opened.first);
        return ids;
    }
};

TEST_F(CardActionsTest, buttonsOpenChatsFoldersAndDetails)
{
    makeBrowser();
    ProjectCardView *gammaCard = card(gamma);
    ASSERT_NE(gammaCard, nullptr);

    // Openings run in the background; their outcome is the status.
    const auto statusBecomes = [&](const QString &status) {
        return waitUntil([&] { return world.model->statusMessage() == status; });
    };
    part(gammaCard, "unreadChip")->click();
    ASSERT_TRUE(statusBecomes("Opening gamma's unread chat in Codex..."));
    EXPECT_EQ(openedThreads(), QStringList{"gamma-1"});

    world.model->setStatusMessage(std::nullopt);
    part(gammaCard, "lastChatSegment")->click();
    ASSERT_TRUE(statusBecomes("Opening gamma's latest chat in Codex..."));
    EXPECT_EQ(openedThreads().last(), "gamma-0");

    part(card(beta), "processingChip")->click();
    ASSERT_TRUE(statusBecomes("Opening beta's processing chat in Codex..."));
    EXPECT_EQ(openedThreads().last(), "beta-0");

    // A success says nothing: the double's record is the outcome.
    part(gammaCard, "finderButton")->click();
    ASSERT_TRUE(waitUntil([&] { return world.desktop->revealedFolders.size() == 1; }));
    EXPECT_EQ(world.desktop->revealedFolders, QStringList{gamma});
    part(gammaCard, "terminalButton")->click();
    ASSERT_TRUE(waitUntil([&] { return world.desktop->terminalFolders.size() == 1; }));
    EXPECT_EQ(world.desktop->terminalFolders, QStringList{gamma});

    EXPECT_FALSE(world.model->project(gamma)->isPinned());
    part(gammaCard, "pinButton")->click();
    EXPECT_TRUE(world.model->project(gamma)->isPinned());

    part<QPushButton>(gammaCard, "detailsButton")->click();
    EXPECT_EQ(openedProjects, QStringList{gamma});
    EXPECT_EQ(world.model->selectedProjectID(), gamma);
}

// Pinning from the keyboard republishes the listing and redraws the card; the focus stays on
// its pin button, so that the next Space undoes it on the same project.
TEST_F(CardActionsTest, theFocusStaysOnThePinButtonThroughTheRepublishedListing)
{
    makeBrowser();
    browser->activateWindow();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == browser->window(); }));
    for (const bool pin : {true, false}) {
        SCOPED_TRACE(pin ? "pinning" : "unpinning");
        QWidget *button = part(card(gamma), "pinButton");
        button->setFocus(Qt::TabFocusReason);
        QTest::keyClick(button, Qt::Key_Space);
        ASSERT_TRUE(waitUntil([&] { return world.model->project(gamma)->isPinned() == pin; }));
        runQueuedWork();
        QWidget *focused = QApplication::focusWidget();
        ASSERT_NE(focused, nullptr);
        EXPECT_EQ(focused->objectName(), QStringLiteral("pinButton"));
        ProjectCardView *holder = nullptr;
        for (QWidget *up = focused; up && !holder; up = up->parentWidget())
            holder = qobject_cast<ProjectCardView *>(up);
        ASSERT_TRUE(holder && holder->model());
        EXPECT_EQ(holder->model()->project.path, gamma);
    }
}

TEST_F(CardActionsTest, recentChatMenuOpensAChatOrStartsANewOne)
{
    makeBrowser();
    ProjectCardView *gammaCard = card(gamma);
    ASSERT_NE(gammaCard, nullptr);
    part(gammaCard, "recentChatsSegment")->click();
    auto *menu = gammaCard->findChild<QMenu *>(QStringLiteral("recentChatMenu"));
    ASSERT_NE(menu, nullptr);
    QStringList chatIDs;
    for (QAction *item : menu->actions()) {
        if (!item->data().toString().isEmpty())
            chatIDs.append(item->data().toString());
    }
    // Newest first.
    EXPECT_EQ(chatIDs, (QStringList{"gamma-0", "gamma-1", "gamma-2"}));
    menu->actions().last()->trigger();
    ASSERT_TRUE(waitUntil(
        [&] { return world.model->statusMessage() == "Opening gamma's chat in Codex..."; }));
    EXPECT_EQ(openedThreads(), QStringList{"gamma-2"});

    menu->actions().first()->trigger(); // "New Chat"
    ASSERT_TRUE(waitUntil([&] {
        return world.model->statusMessage() == "Opening a new Codex chat for gamma...";
    }));
    EXPECT_EQ(world.codexLauncher->newChatFolders, QStringList{gamma});
    menu->close();
}

TEST_F(CardActionsTest, tagMenuTogglesTagsAndOpensTheSidebar)
{
    makeBrowser(1200, false);
    world.model->addTag(QStringLiteral("Work"));
    ASSERT_TRUE(settled());
    ProjectCardView *alphaCard = card(alpha);
    ASSERT_NE(alphaCard, nullptr);

    alphaCard->showTagMenu();
    auto *menu = alphaCard->findChild<QMenu *>(QStringLiteral("tagMenu"));
    ASSERT_NE(menu, nullptr);
    menu->actions().first()->trigger(); // "Work"
    EXPECT_EQ(world.model->tags(alpha), world.model->tags());
    menu->actions().last()->trigger(); // "Manage Tags"
    EXPECT_TRUE(world.model->isTagSidebarVisible());
    menu->close();
}

// Renaming is allowed only while Codex works on no project at all.
class CardRenameTest : public CardActionsTest
{
protected:
    CardRenameTest() { betaProcesses = false; }
};

TEST_F(CardRenameTest, renamePromptAsksTheCoordinator)
{
    makeBrowser();
    ProjectCardView *alphaCard = card(alpha);
    ASSERT_NE(alphaCard, nullptr);
    alphaCard->promptToRenameProject();
    auto *dialog = alphaCard->findChild<QDialog *>(QStringLiteral("renameDialog"));
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible()); // opened, not run: nothing waits for it
    dialog->findChild<QLineEdit *>(QStringLiteral("nameField"))->setText("Alpha");
    dialog->accept();
    // A project Codex keeps no record for cannot be renamed, and says so.
    EXPECT_EQ(world.model->statusMessage(),
              "Codex has not assigned this project an editable project record yet.");
}

} // namespace
