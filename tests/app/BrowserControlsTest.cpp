// What each control of the browser does to the coordinator's listing, and what the tag
// sidebar, the team controls and the commit banner show and do.
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

TEST_F(BrowserControlsTest, searchScopeSortAndPagesChangeTheListing)
{
    makeBrowser();
    ASSERT_EQ(world.model->filteredProjects().size(), 14);

    auto *search = control<QLineEdit>("searchField");
    search->setFocus();
    QTest::keyClicks(search, QStringLiteral("gam"));
    EXPECT_EQ(filteredNames(), QStringList{QStringLiteral("gamma")});
    search->clear();
    Q_EMIT search->textEdited(QString());
    EXPECT_EQ(world.model->filteredProjects().size(), 14);

    auto *segments = control<SegmentedControl>("scopeControl");
    const struct
    {
        int index;
        QStringList names;
    } scopes[] = {
        {1, {QStringLiteral("alpha")}},
        {2, {QStringLiteral("gamma")}},
        {3, {QStringLiteral("beta")}},
    };
    for (const auto &scope : scopes) {
        SCOPED_TRACE(scope.index);
        Q_EMIT segments->segmentSelected(scope.index);
        EXPECT_EQ(filteredNames(), scope.names);
    }
    // The pop-up that stands in for the segments in a narrow window does the same.
    Q_EMIT control<QComboBox>("scopeButton")->activated(1);
    EXPECT_EQ(filteredNames(), QStringList{QStringLiteral("alpha")});
    Q_EMIT control<QComboBox>("scopeButton")->activated(0);
    EXPECT_EQ(world.model->filteredProjects().size(), 14);

    Q_EMIT control<QComboBox>("sortButton")->activated(1); // Name
    EXPECT_EQ(filteredNames().mid(0, 4),
              (QStringList{"alpha", "beta", "gamma", "p00"}));

    // Paging: ten to a page, the next page holds the rest; a new page size or sort returns
    // to page 1.
    EXPECT_EQ(world.model->pagedProjects().size(), 10);
    // (The page buttons are enabled by the render that follows each move.)
    ASSERT_TRUE(settled());
    control<QToolButton>("nextButton")->click();
    EXPECT_EQ(world.model->currentPage(), 2);
    EXPECT_EQ(pagedNames(), (QStringList{"p07", "p08", "p09", "p10"}));
    ASSERT_TRUE(settled());
    control<QToolButton>("previousButton")->click();
    EXPECT_EQ(world.model->currentPage(), 1);
    ASSERT_TRUE(settled());
    control<QToolButton>("nextButton")->click();
    Q_EMIT control<QComboBox>("sortButton")->activated(1); // the same mode again
    EXPECT_EQ(world.model->currentPage(), 1);
    ASSERT_TRUE(settled());
    control<QToolButton>("nextButton")->click();
    EXPECT_EQ(world.model->currentPage(), 2);
    Q_EMIT control<QComboBox>("pageSizeButton")->activated(1); // Show 25
    EXPECT_EQ(world.model->currentPage(), 1);
    EXPECT_EQ(world.model->pagedProjects().size(), 14);
    EXPECT_EQ(world.model->filteredProjects().size(), 14);

    // The render shows the coordinator's values.
    ASSERT_TRUE(settled());
    EXPECT_EQ(control<QComboBox>("sortButton")->currentText(), "Name");
    EXPECT_EQ(control<QComboBox>("pageSizeButton")->currentText(), "Show 25");
    EXPECT_EQ(control<QLabel>("pageLabel")->text(), "Page 1 of 1");
}

TEST_F(BrowserControlsTest, archiveControlsListArchivedChatsAfterARefresh)
{
    makeBrowser();
    EXPECT_FALSE(filteredNames().contains("attic"));

    control<QCheckBox>("archivedButton")->click();
    EXPECT_TRUE(world.model->includeArchived());
    ASSERT_TRUE(waitUntil([this] { return filteredNames().contains("attic"); }));

    // The options menu of a narrow window toggles it back.
    browser->resize(500, 800);
    ASSERT_TRUE(settled());
    control<QToolButton>("optionsButton")->click();
    auto *menu = browser->findChild<QMenu *>();
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->actions().constFirst()->isChecked());
    menu->actions().constFirst()->trigger();
    menu->close();
    EXPECT_FALSE(world.model->includeArchived());
    // (The catalog remembers the project it has seen: it stays listed.)
    ASSERT_TRUE(settled());
    EXPECT_FALSE(control<QCheckBox>("archivedButton")->isChecked());
}

TEST_F(BrowserControlsTest, sidebarToggleHideButtonAndAddButton)
{
    makeBrowser(1200, false);
    EXPECT_EQ(browser->sidebarPlacement(), TolvaranViewController::SidebarPlacement::hidden);
    control<QToolButton>("sidebarToggle")->click();
    EXPECT_TRUE(world.model->isTagSidebarVisible());
    ASSERT_TRUE(settled());
    EXPECT_EQ(browser->sidebarPlacement(), TolvaranViewController::SidebarPlacement::docked);
    control<QToolButton>("sidebarHideButton")->click();
    EXPECT_FALSE(world.model->isTagSidebarVisible());

    // New projects start with the folder dialog (cancelled here).
    control<QToolButton>("addButton")->click();
    EXPECT_EQ(world.folderPicker.requests.size(), 1);
}

TEST_F(BrowserControlsTest, tagSidebarAddsTagsAndKeepsARefusedName)
{
    makeBrowser();
    EXPECT_EQ(sidebarTitles(), QStringList{"All Projects"});
    for (const char *name : {"Work", "Home", "Errands"})
        addTagThroughTheSidebar(QString::fromLatin1(name));
    EXPECT_TRUE(control<QLineEdit>("newTagField")->text().isEmpty());
    ASSERT_TRUE(settled());
    EXPECT_EQ(sidebarTitles(), (QStringList{"All Projects", "Errands", "Home", "Work"}));

    // A name that differs from an existing one only in case is refused where it was typed.
    addTagThroughTheSidebar(QStringLiteral("work"));
    EXPECT_EQ(world.model->tags().size(), 3);
    EXPECT_EQ(control<QLineEdit>("newTagField")->text(), "work");
    auto *message = control<QLabel>("tagMessageLabel");
    EXPECT_FALSE(message->isHidden());
    EXPECT_EQ(message->text(), "A tag with that name already exists.");
    ASSERT_TRUE(settled());
    EXPECT_FALSE(message->isHidden()); // the render leaves it

    addTagThroughTheSidebar(QStringLiteral("   "));
    EXPECT_EQ(message->text(), "Enter a tag name.");
    addTagThroughTheSidebar(QString(41, QLatin1Char('x')));
    EXPECT_EQ(message->text(), "Tag names must be 40 characters or fewer.");
}

TEST_F(BrowserControlsTest, tagRowsCountAllProjectsAndFilterTheList)
{
    makeBrowser();
    addTagThroughTheSidebar(QStringLiteral("Work"));
    const QUuid work = tagID(QStringLiteral("Work"));
    world.model->toggleTag(work, alpha);
    world.model->toggleTag(work, gamma);
    world.model->toggleTag(work, beta);
    ASSERT_TRUE(settled());

    QList<QWidget *> rows = sidebarRows();
    ASSERT_EQ(rows.size(), 2);
    auto countOf = [](QWidget *row) {
        return row->findChild<QLabel *>(QStringLiteral("sidebarRowCount"))->text();
    };
    auto helpOf = [](QWidget *row, const char *name) {
        auto *indicator = row->findChild<QLabel *>(QLatin1String(name));
        return indicator ? indicator->toolTip() : QString();
    };
    EXPECT_EQ(countOf(rows[0]), "14");
    EXPECT_EQ(countOf(rows[1]), "3");
    EXPECT_EQ(helpOf(rows[1], "unreadIndicator"), "1 project with unread activity");
    EXPECT_EQ(helpOf(rows[1], "processingIndicator"), "1 project is processing");

    // Choosing the row filters from the first page; the counts ignore the other filters.
    control<QToolButton>("nextButton")->click();
    EXPECT_EQ(world.model->currentPage(), 2);
    rowButton(rows[1])->click();
    EXPECT_EQ(world.model->selectedTagID(), work);
    EXPECT_EQ(world.model->currentPage(), 1);
    EXPECT_EQ(filteredNames().size(), 3);
    world.model->setSearchText(QStringLiteral("nothing matches this"));
    ASSERT_TRUE(settled());
    rows = sidebarRows();
    EXPECT_EQ(countOf(rows[1]), "3");
    EXPECT_TRUE(rowButton(rows[1])->isChecked());
    EXPECT_FALSE(rowButton(rows[0])->isChecked());

    rowButton(rows[0])->click();
    EXPECT_EQ(world.model->selectedTagID(), std::nullopt);
}

TEST_F(BrowserControlsTest, renameThroughTheMenu_keepsARefusedNameInTheDialog)
{
    makeBrowser();
    addTagThroughTheSidebar(QStringLiteral("Work"));
    addTagThroughTheSidebar(QStringLiteral("Home"));
    ASSERT_TRUE(settled());

    chooseTagAction(QStringLiteral("Work"), QStringLiteral("Rename..."));
    auto *dialog = browser->findChild<TagRenameDialog *>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    auto *field = dialog->findChild<QLineEdit *>(QStringLiteral("tagNameField"));
    auto *rename = dialog->findChild<QPushButton *>(QStringLiteral("renameButton"));

    // Another tag's name in other letters' case: refused, the text stays, the reason shows.
    field->setText(QStringLiteral("HOME"));
    rename->click();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(field->text(), "HOME");
    EXPECT_EQ(dialog->message(), "A tag with that name already exists.");
    EXPECT_EQ(world.model->tags().size(), 2);
    EXPECT_TRUE(tagID(QStringLiteral("Work")) != QUuid());

    // Its own name in other case is a rename.
    field->setText(QStringLiteral("WORK"));
    rename->click();
    EXPECT_FALSE(dialog->isVisible());
    ASSERT_TRUE(settled());
    EXPECT_EQ(sidebarTitles(), (QStringList{"All Projects", "Home", "WORK"}));
}

TEST_F(BrowserControlsTest, deletingTheSelectedTagShowsAllProjectsAgain)
{
    makeBrowser();
    addTagThroughTheSidebar(QStringLiteral("Work"));
    const QUuid work = tagID(QStringLiteral("Work"));
    world.model->toggleTag(work, alpha);
    world.model->setSelectedTagID(work);
    ASSERT_TRUE(settled());
    EXPECT_EQ(filteredNames(), QStringList{"alpha"});

    chooseTagAction(QStringLiteral("Work"), QStringLiteral("Delete..."));
    auto *prompt = browser->findChild<QMessageBox *>(QStringLiteral("tagDeletionPrompt"));
    ASSERT_NE(prompt, nullptr);
    EXPECT_EQ(prompt->text(), "Delete Work?");
    prompt->findChild<QPushButton *>(QStringLiteral("deleteButton"))->click();
    EXPECT_TRUE(world.model->tags().isEmpty());
    EXPECT_EQ(world.model->selectedTagID(), std::nullopt);
    EXPECT_EQ(world.model->filteredProjects().size(), 14);
    ASSERT_TRUE(settled());
    EXPECT_EQ(sidebarTitles(), QStringList{"All Projects"});
    EXPECT_TRUE(rowButton(sidebarRows()[0])->isChecked());
}

TEST_F(BrowserControlsTest, withoutTeams_nothingOfTeamsShows)
{
    makeBrowser();
    EXPECT_TRUE(control("teamFilterButton")->isHidden());
    EXPECT_TRUE(control("teamButton")->isHidden());
    EXPECT_TRUE(control("commitBanner")->isHidden());
    EXPECT_FALSE(control<QLabel>("footerLabel")->text().contains("Team"));
}

TEST_F(BrowserControlsTest, teamFilterOffersEnabledTeamsAndFallsBackWhenOneGoes)
{
    makeBrowser();
    world.team.teams = {{QStringLiteral("t1"), QStringLiteral("Core")},
                        {QStringLiteral("t2"), QStringLiteral("Infra")}};
    world.team.setTeamIDs(alpha, {QStringLiteral("t1")});
    world.team.setTeamIDs(beta, {QStringLiteral("t2")});
    Q_EMIT world.team.enabledTeamsChanged();
    Q_EMIT world.team.sharedProjectsChanged();
    ASSERT_TRUE(settled());
    auto *filter = control<QComboBox>("teamFilterButton");
    EXPECT_FALSE(filter->isHidden());
    ASSERT_EQ(filter->count(), 4);
    EXPECT_EQ(filter->itemText(0), "All Projects");
    EXPECT_EQ(filter->itemText(1), "Local Only");
    EXPECT_EQ(filter->itemText(2), "Core");

    Q_EMIT filter->activated(2);
    EXPECT_EQ(world.model->teamFilterID(), "t1");
    EXPECT_EQ(filteredNames(), QStringList{"alpha"});
    Q_EMIT filter->activated(1);
    EXPECT_EQ(filteredNames().size(), 12);
    EXPECT_FALSE(filteredNames().contains("alpha"));
    Q_EMIT filter->activated(3);

    // A rename alone keeps the item's title.
    world.team.teams[1].name = QStringLiteral("Platform");
    Q_EMIT world.team.enabledTeamsChanged();
    ASSERT_TRUE(settled());
    EXPECT_EQ(filter->itemText(3), "Infra");

    // The chosen team switched off: back to all projects, from the first page.
    world.team.teams.removeLast();
    Q_EMIT world.team.enabledTeamsChanged();
    ASSERT_TRUE(waitUntil([this] { return world.model->teamFilterID() == "all"; }));
    ASSERT_TRUE(settled());
    EXPECT_EQ(filter->count(), 3);
    EXPECT_EQ(filter->currentIndex(), 0);
    EXPECT_EQ(world.model->filteredProjects().size(), 14);
    EXPECT_EQ(world.model->currentPage(), 1);
}

TEST_F(BrowserControlsTest, teamButtonAndFooterShowTheConnection)
{
    makeBrowser();
    int shownTeams = 0;
    browser->setOnShowTeams([&shownTeams] { ++shownTeams; });
    ASSERT_TRUE(settled());
    auto *button = control<QToolButton>("teamButton");
    // Somewhere to go, but no team yet: an invitation.
    EXPECT_FALSE(button->isHidden());
    EXPECT_EQ(button->text(), "Add/Join Team");
    EXPECT_EQ(button->toolTip(), "Add or join a team");
    button->click();
    EXPECT_EQ(shownTeams, 1);

    world.team.memberships = true;
    world.team.name = QStringLiteral("Core");
    world.team.state = TeamConnectionState::connected();
    Q_EMIT world.team.hasTeamMembershipsChanged(true);
    Q_EMIT world.team.teamNameChanged(world.team.name);
    Q_EMIT world.team.connectionStateChanged(world.team.state);
    ASSERT_TRUE(settled());
    EXPECT_TRUE(button->text().isEmpty());
    EXPECT_EQ(button->toolTip(), "Core: Team connected");
    EXPECT_TRUE(control<QLabel>("footerLabel")->text().contains("  |  Core: Team connected"));

    world.team.state = TeamConnectionState::failed(QStringLiteral("refused"));
    Q_EMIT world.team.connectionStateChanged(world.team.state);
    ASSERT_TRUE(settled());
    EXPECT_EQ(button->toolTip(), "Core: Team unavailable");
}

TEST_F(BrowserControlsTest, commitBannerShowsTheNewestUntilDismissed)
{
    makeBrowser();
    world.team.commits = {commit(QStringLiteral("Ana"), 3000), commit(QStringLiteral("Bo"), 2000),
                          commit(QStringLiteral("Cy"), 1000)};
    Q_EMIT world.team.commitNotificationsChanged();
    ASSERT_TRUE(settled());
    auto *banner = control("commitBanner");
    auto *title = control<QLabel>("commitTitle");
    EXPECT_FALSE(banner->isHidden());
    EXPECT_EQ(title->text(), "Ana committed to alpha");
    EXPECT_EQ(control<QLabel>("commitSubtitle")->text(), "Work of Ana  |  0123456");

    auto *dismiss = control<QToolButton>("commitDismissButton");
    dismiss->click();
    ASSERT_TRUE(settled());
    EXPECT_EQ(title->text(), "Bo committed to alpha");
    dismiss->click();
    dismiss->click();
    ASSERT_TRUE(settled());
    EXPECT_TRUE(world.team.commits.isEmpty());
    EXPECT_TRUE(banner->isHidden());
    dismiss->click(); // nothing left: nothing happens
}

TEST_F(BrowserControlsTest, tabFollowsReadingOrderThroughHeaderSidebarAndCards)
{
    makeBrowser(1200, true);
    browser->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(browser.get()));
    auto *grid = control<ProjectCardGrid>("collectionView");
    ProjectCardView *first = grid->cardAt(0);
    ProjectCardView *second = grid->cardAt(1);
    ASSERT_TRUE(first && second);

    control("refreshButton")->setFocus(Qt::OtherFocusReason);
    QList<QWidget *> visited{QApplication::focusWidget()};
    for (int step = 0; step < 200; ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget *focused = QApplication::focusWidget();
        if (focused == visited.first())
            break;
        // Every stop shows its focus: nothing hidden or scrolling takes it.
        EXPECT_TRUE(focused->isVisible() && !qobject_cast<QAbstractScrollArea *>(focused))
            << focused->objectName().toStdString();
        visited.append(focused);
    }
    const auto names = [](const QList<QWidget *> &widgets) {
        QStringList result;
        for (QWidget *widget : widgets)
            result.append(widget->objectName());
        return result;
    };
    const auto within = [&visited](QWidget *region) {
        QList<QWidget *> inside;
        for (QWidget *widget : visited) {
            if (region->isAncestorOf(widget))
                inside.append(widget);
        }
        return inside;
    };
    // Header: the title row, the search field, then the controls row left to right.
    const QStringList header = names(visited.mid(0, 4));
    EXPECT_EQ(header, QStringList({"refreshButton", "searchField", "sidebarToggle",
                                   "addButton"}));
    // The scope segments are one stop (the chosen one); arrows move within them.
    QWidget *scope = visited.value(4);
    ASSERT_TRUE(scope);
    EXPECT_TRUE(control("scopeControl")->isAncestorOf(scope));
    EXPECT_EQ(names(visited.mid(5, 2)), QStringList({"sortButton", "archivedButton"}));

    // Then the sidebar, then the first card, then the second.
    auto *sidebar = control("sidebar");
    const QList<QWidget *> sidebarStops = within(sidebar);
    ASSERT_FALSE(sidebarStops.isEmpty());
    EXPECT_EQ(visited.indexOf(sidebarStops.first()), 7);
    const QList<QWidget *> firstStops = within(first);
    const QList<QWidget *> secondStops = within(second);
    ASSERT_FALSE(firstStops.isEmpty());
    ASSERT_FALSE(secondStops.isEmpty());
    EXPECT_EQ(visited.indexOf(firstStops.first()),
              visited.indexOf(sidebarStops.last()) + 1);
    EXPECT_EQ(visited.indexOf(secondStops.first()), visited.indexOf(firstStops.last()) + 1);

    // Inside a card: left to right, top to bottom.
    QStringList cardOrder = names(firstStops);
    cardOrder.removeIf([](const QString &name) { return name.endsWith(QLatin1String("Chip")); });
    EXPECT_EQ(cardOrder, QStringList({"renameButton", "tagButton", "pinButton", "finderButton",
                                      "terminalButton", "lastChatSegment", "recentChatsSegment",
                                      "detailsButton"}));

    // Backtab walks the same way back.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), visited.last());
    control("sidebarToggle")->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), control("searchField"));
}
