// The tag sidebar's rows, their counts and marks, its requests, and the rename and delete
// dialogs.
#include "app/tags/TagDeletionPrompt.h"
#include "app/tags/TagRenameDialog.h"
#include "app/tags/TagSidebar.h"
#include "support/QtPrinters.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>

#include <gtest/gtest.h>

namespace tolvaran {
namespace {

const ProjectTag work{QUuid::createUuid(), QStringLiteral("Work")};
const ProjectTag home{QUuid::createUuid(), QStringLiteral("Home & garden")};

// What one row shows.
struct RowView
{
    QString title;
    QString count;
    bool selected = false;
    QString unreadHelp;     // empty without a bell
    QString processingHelp; // empty without a gear
    bool hasActions = false;
};

QList<QWidget *> rows(const TagSidebar &sidebar)
{
    // In the order they were made, which is their order on screen.
    return sidebar.findChildren<QWidget *>(QStringLiteral("sidebarRow"));
}

QList<RowView> rowViews(TagSidebar &sidebar)
{
    QList<RowView> views;
    for (QWidget *row : rows(sidebar)) {
        RowView view;
        auto *button = row->findChild<QToolButton *>(QStringLiteral("sidebarRowButton"));
        view.title = button->accessibleName();
        view.selected = button->isChecked();
        view.count = row->findChild<QLabel *>(QStringLiteral("sidebarRowCount"))->text();
        if (auto *bell = row->findChild<QLabel *>(QStringLiteral("unreadIndicator")))
            view.unreadHelp = bell->toolTip();
        if (auto *gear = row->findChild<QLabel *>(QStringLiteral("processingIndicator")))
            view.processingHelp = gear->toolTip();
        view.hasActions = row->findChild<QToolButton *>(QStringLiteral("tagActionsButton"));
        views.append(view);
    }
    return views;
}

SidebarSignature signatureWith(std::optional<QUuid> selected = std::nullopt)
{
    SidebarSignature signature;
    signature.tags = {home, work};
    signature.statuses.insert(home.id, ProjectTagStatus{2, 1, 0});
    signature.statuses.insert(work.id, ProjectTagStatus{5, 2, 3});
    signature.selectedTagID = selected;
    signature.allProjectsStatus = ProjectTagStatus{9, 3, 1};
    return signature;
}

TEST(TagSidebarTest, withoutTags_showsAllProjectsSelected)
{
    TagSidebar sidebar;
    sidebar.setSignature(SidebarSignature{});
    const QList<RowView> views = rowViews(sidebar);
    ASSERT_EQ(views.size(), 1);
    EXPECT_EQ(views[0].title, "All Projects");
    EXPECT_EQ(views[0].count, "0");
    EXPECT_TRUE(views[0].selected);
    EXPECT_TRUE(views[0].unreadHelp.isEmpty());
    EXPECT_FALSE(views[0].hasActions);
    EXPECT_TRUE(sidebar.findChild<QFrame *>(QStringLiteral("sidebarSeparator")));
}

TEST(TagSidebarTest, rows_showCountsMarksAndSelection)
{
    TagSidebar sidebar;
    SidebarSignature signature = signatureWith(work.id);
    const ProjectTag unused{QUuid::createUuid(), QStringLiteral("Unused")};
    signature.tags.append(unused); // no status entry: all zeros
    sidebar.setSignature(signature);

    const QList<RowView> views = rowViews(sidebar);
    ASSERT_EQ(views.size(), 4);
    EXPECT_EQ(views[0].title, "All Projects");
    EXPECT_EQ(views[0].count, "9");
    EXPECT_FALSE(views[0].selected);
    EXPECT_EQ(views[0].unreadHelp, "3 projects with unread activity");
    EXPECT_EQ(views[0].processingHelp, "1 project is processing");

    EXPECT_EQ(views[1].title, "Home & garden");
    EXPECT_EQ(views[1].count, "2");
    EXPECT_EQ(views[1].unreadHelp, "1 project with unread activity");
    EXPECT_TRUE(views[1].processingHelp.isEmpty());
    EXPECT_TRUE(views[1].hasActions);

    EXPECT_EQ(views[2].title, "Work");
    EXPECT_TRUE(views[2].selected);
    EXPECT_EQ(views[2].unreadHelp, "2 projects with unread activity");
    EXPECT_EQ(views[2].processingHelp, "3 projects are processing");

    EXPECT_EQ(views[3].title, "Unused");
    EXPECT_EQ(views[3].count, "0");
    EXPECT_TRUE(views[3].unreadHelp.isEmpty());
    EXPECT_TRUE(views[3].processingHelp.isEmpty());
}

TEST(TagSidebarTest, helpTexts_useSingularAndPlural)
{
    EXPECT_EQ(TagSidebar::unreadHelpText(1), "1 project with unread activity");
    EXPECT_EQ(TagSidebar::unreadHelpText(2), "2 projects with unread activity");
    EXPECT_EQ(TagSidebar::processingHelpText(1), "1 project is processing");
    EXPECT_EQ(TagSidebar::processingHelpText(3), "3 projects are processing");
}

TEST(TagSidebarTest, rows_areRebuiltOnlyWhenTheSignatureChanges)
{
    TagSidebar sidebar;
    EXPECT_TRUE(sidebar.setSignature(signatureWith()));
    QWidget *firstRow = rows(sidebar).value(0);
    EXPECT_FALSE(sidebar.setSignature(signatureWith()));
    EXPECT_EQ(rows(sidebar).value(0), firstRow);

    EXPECT_TRUE(sidebar.setSignature(signatureWith(home.id))); // the selection counts
    SidebarSignature renamed = signatureWith(home.id);
    renamed.tags[0].name = QStringLiteral("Home");
    EXPECT_TRUE(sidebar.setSignature(renamed));
    SidebarSignature recounted = renamed;
    recounted.statuses[work.id].processingProjectCount = 0;
    EXPECT_TRUE(sidebar.setSignature(recounted));
}

TEST(TagSidebarTest, rowsAndButtons_reportTheirRequests)
{
    TagSidebar sidebar;
    sidebar.setSignature(signatureWith());
    QSignalSpy all(&sidebar, &TagSidebar::allProjectsChosen);
    QSignalSpy chosen(&sidebar, &TagSidebar::tagChosen);
    QSignalSpy hide(&sidebar, &TagSidebar::hideRequested);
    QSignalSpy add(&sidebar, &TagSidebar::addRequested);
    QSignalSpy rename(&sidebar, &TagSidebar::renameRequested);
    QSignalSpy remove(&sidebar, &TagSidebar::deleteRequested);

    QList<QWidget *> shown = rows(sidebar);
    shown[0]->findChild<QToolButton *>(QStringLiteral("sidebarRowButton"))->click();
    shown[2]->findChild<QToolButton *>(QStringLiteral("sidebarRowButton"))->click();
    EXPECT_EQ(all.size(), 1);
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen[0][0].toUuid(), work.id);
    // The selection is the coordinator's: a click does not check a row by itself.
    EXPECT_FALSE(
        shown[2]->findChild<QToolButton *>(QStringLiteral("sidebarRowButton"))->isChecked());

    sidebar.findChild<QToolButton *>(QStringLiteral("sidebarHideButton"))->click();
    EXPECT_EQ(hide.size(), 1);

    sidebar.findChild<QLineEdit *>(QStringLiteral("newTagField"))->setText(" Errands ");
    sidebar.findChild<QToolButton *>(QStringLiteral("addTagButton"))->click();
    ASSERT_EQ(add.size(), 1);
    EXPECT_EQ(add[0][0].toString(), " Errands "); // as typed: the coordinator trims

    shown[1]->findChild<QToolButton *>(QStringLiteral("tagActionsButton"))->click();
    auto *menu = sidebar.findChild<QMenu *>(QStringLiteral("tagActionsMenu"));
    ASSERT_TRUE(menu);
    const QList<QAction *> items = menu->actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0]->text(), "Rename...");
    EXPECT_EQ(items[1]->text(), "Delete...");
    EXPECT_EQ(items[0]->data().toString(), home.id.toString(QUuid::WithoutBraces));
    items[0]->trigger();
    items[1]->trigger();
    ASSERT_EQ(rename.size(), 1);
    EXPECT_EQ(rename[0][0].toUuid(), home.id);
    ASSERT_EQ(remove.size(), 1);
    EXPECT_EQ(remove[0][0].toUuid(), home.id);
    menu->close();
}

TEST(TagSidebarTest, message_showsBelowTheFieldUntilTheTextIsEdited)
{
    TagSidebar sidebar;
    auto *field = sidebar.findChild<QLineEdit *>(QStringLiteral("newTagField"));
    field->setText("work");
    sidebar.setMessage(QStringLiteral("A tag with that name already exists."));
    EXPECT_EQ(sidebar.message(), "A tag with that name already exists.");
    EXPECT_EQ(sidebar.newTagText(), "work");

    field->setFocus();
    field->end(false);
    field->insert("s"); // as a keystroke would
    EXPECT_EQ(sidebar.message(), std::nullopt);
}

TEST(TagRenameDialogTest, refusedName_keepsTheDialogOpenWithTextAndMessage)
{
    QList<QString> submitted;
    auto *dialog = new TagRenameDialog(
        "Work",
        [&submitted](const QString &name) -> std::optional<QString> {
            submitted.append(name);
            if (name.compare("home", Qt::CaseInsensitive) == 0)
                return QStringLiteral("A tag with that name already exists.");
            return std::nullopt;
        });
    dialog->open();
    auto *field = dialog->findChild<QLineEdit *>(QStringLiteral("tagNameField"));
    EXPECT_EQ(field->text(), "Work");
    EXPECT_EQ(field->selectedText(), "Work");

    field->setText("HOME");
    dialog->findChild<QPushButton *>(QStringLiteral("renameButton"))->click();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->name(), "HOME");
    EXPECT_EQ(dialog->message(), "A tag with that name already exists.");

    field->setText("work");
    dialog->findChild<QPushButton *>(QStringLiteral("renameButton"))->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(submitted, (QList<QString>{"HOME", "work"}));
    delete dialog;
}

TEST(TagRenameDialogTest, cancel_submitsNothing)
{
    bool submitted = false;
    TagRenameDialog dialog("Work", [&submitted](const QString &) -> std::optional<QString> {
        submitted = true;
        return std::nullopt;
    });
    dialog.open();
    dialog.findChild<QPushButton *>(QStringLiteral("cancelButton"))->click();
    EXPECT_FALSE(submitted);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST(TagDeletionPromptTest, onlyDeleteConfirms)
{
    QWidget parent;
    int confirmed = 0;
    QMessageBox *box = openTagDeletionPrompt(&parent, "Work", [&confirmed] { ++confirmed; });
    EXPECT_EQ(box->text(), "Delete Work?");
    EXPECT_EQ(box->informativeText(), "This removes the tag from every assigned project.");
    EXPECT_TRUE(box->isVisible()); // opened, not run: the caller went on
    ASSERT_EQ(box->escapeButton(), box->defaultButton()); // "Cancel"
    EXPECT_EQ(box->defaultButton()->text(), "Cancel");
    box->defaultButton()->click();
    EXPECT_EQ(confirmed, 0);

    box = openTagDeletionPrompt(&parent, "Work", [&confirmed] { ++confirmed; });
    box->findChild<QPushButton *>(QStringLiteral("deleteButton"))->click();
    EXPECT_EQ(confirmed, 1);
}

} // namespace
} // namespace tolvaran
