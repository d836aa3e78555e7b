#include "widgets/ElidingLabel.h"
#include "app/cards/ProjectCardView.h"
#include "widgets/SystemColors.h"
#include "support/QtPrinters.h"
#include "support/widgets/FocusStops.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMap>
#include <QPushButton>
#include <QSet>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cmath>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

BrowserCardModel plainModel()
{
    BrowserCardModel model;
    model.project.id = QStringLiteral("/work/orbit");
    model.project.path = model.project.id;
    model.project.name = QStringLiteral("orbit");
    model.project.threadCount = 4;
    model.project.lastUpdated = Timestamp::now().addingSeconds(-7200);
    model.canRename = true;
    return model;
}

TeamProjectPeer teammate(const QString &name, TeamConflictLevel level, bool connected = true)
{
    TeamProjectPeer peer;
    peer.deviceId = name + QStringLiteral("-laptop");
    peer.memberName = name;
    peer.project.repositoryId = QStringLiteral("github.com/acme/orbit");
    peer.project.repositoryName = QStringLiteral("orbit");
    peer.project.workSummary = QStringLiteral("Reworking the launch checks");
    peer.conflictLevel = level;
    peer.isConnected = connected;
    return peer;
}

QList<QWidget *> statusViews(ProjectCardView &card)
{
    QList<QWidget *> views;
    QLayout *strip = card.findChild<QWidget *>(QStringLiteral("statusStack"))->layout();
    for (int i = 0; i < strip->count(); ++i) {
        if (QWidget *widget = strip->itemAt(i)->widget())
            views.append(widget);
    }
    return views;
}

QString textOf(QWidget *widget)
{
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    if (auto *button = qobject_cast<QToolButton *>(widget))
        return button->text();
    return QString();
}

QStringList statusTexts(ProjectCardView &card)
{
    QStringList texts;
    for (QWidget *view : statusViews(card))
        texts.append(textOf(view));
    return texts;
}

QWidget *statusView(ProjectCardView &card, const QString &name)
{
    for (QWidget *view : statusViews(card)) {
        if (view->objectName() == name)
            return view;
    }
    return nullptr;
}

QColor textColor(QWidget *widget)
{
    return widget->palette().color(QPalette::WindowText);
}

ElidingLabel *label(ProjectCardView &card, const char *name)
{
    return card.findChild<ElidingLabel *>(QLatin1String(name));
}

} // namespace

TEST(ProjectCardView, aQuietProjectShowsOnlyReady)
{
    ProjectCardView card;
    card.resize(360, 246);
    card.show();
    card.configure(plainModel(), {});
    QCoreApplication::processEvents();
    // A short name is not cut: the name label asks for the room of its whole text.
    const QLabel *name = label(card, "nameLabel");
    EXPECT_EQ(name->QLabel::text(), QStringLiteral("orbit"));
    EXPECT_EQ(statusTexts(card), QStringList{"Ready"});
    EXPECT_EQ(label(card, "nameLabel")->text(), QStringLiteral("orbit"));
    EXPECT_EQ(label(card, "pathLabel")->text(), QStringLiteral("/work/orbit"));
    EXPECT_EQ(label(card, "metricsLabel")->text(), QStringLiteral("4 chats  |  2 hr. ago"));
    EXPECT_EQ(label(card, "workLabel")->text(), QStringLiteral("No shared work activity"));
    EXPECT_EQ(label(card, "filesLabel")->text(), QString());
    EXPECT_EQ(card.frameAppearance().borderWidth, 0.5);

    // A name too long for the card is cut where it is drawn; assistive technology reads it whole.
    BrowserCardModel named = plainModel();
    named.project.name = QStringLiteral("Acme <b>bold</b> & co & the long tail of its name");
    card.configure(named, {});
    QCoreApplication::processEvents();
    EXPECT_NE(name->QLabel::text(), named.project.name);
    EXPECT_EQ(accessibleName(label(card, "nameLabel")), named.project.name);
}

TEST(ProjectCardView, theStatusStripShowsItsChipsInOrder)
{
    BrowserCardModel model = plainModel();
    model.project.notificationCount = 2;
    model.project.processingCount = 1;
    model.project.isPinned = true;
    model.project.threadCount = 1;
    model.project.displayBranch = QStringLiteral("main");
    model.teamNames = {"Core", "Design", "Ops"};
    model.weeklyTokens = 5000;
    model.weeklyShare = 0.0725;
    model.teamSummary = TeamProjectSummary{{teammate("Ana", TeamConflictLevel::caution)}};

    // Shown, as in the grid: views added to a shown card are not shown yet while it is
    // configured, and must still count as the strip's content.
    ProjectCardView card;
    card.resize(430, 246);
    card.show();
    card.configure(model, {});
    // The third team is not shown anywhere.
    EXPECT_EQ(statusTexts(card), (QStringList{"2 unread", "Core", "Design", "1 processing",
                                              "Week  7.25%", "Caution", "main"}));
    EXPECT_EQ(statusView(card, "weeklyBadge")->toolTip(),
              QStringLiteral("Estimated 7.25% of your Codex weekly limit from this project"));
    EXPECT_EQ(statusView(card, "teamNameLabel")->toolTip(), QStringLiteral("Shared through Core"));
    EXPECT_EQ(label(card, "metricsLabel")->text(),
              QStringLiteral("1 chats  |  2 hr. ago  |  Pinned"));
    EXPECT_EQ(card.findChild<QToolButton *>("pinButton")->toolTip(),
              QStringLiteral("Unpin project"));

    // A chip holding the focus keeps it as the card is configured again; a chip that goes
    // hands it to the control after the strip.
    ASSERT_TRUE(activated(&card));
    statusView(card, "processingChip")->setFocus(Qt::TabFocusReason);
    card.configure(model, {});
    EXPECT_EQ(QApplication::focusWidget(), statusView(card, "processingChip"));

    // A card given another project keeps nothing of the first.
    card.configure(plainModel(), {});
    EXPECT_EQ(statusTexts(card), QStringList{"Ready"});
    EXPECT_EQ(QApplication::focusWidget(), card.findChild<QWidget *>("finderButton"));
    EXPECT_EQ(card.findChild<QToolButton *>("pinButton")->toolTip(),
              QStringLiteral("Pin project"));
}

TEST(ProjectCardView, weeklyBadgeNeedsTokensAndColoursByShare)
{
    struct Row
    {
        qint64 tokens;
        double share;
        std::optional<QString> text;
        QColor color;
    };
    const Row rows[] = {
        {0, 0.2, std::nullopt, {}},
        {10, 0.0499, QStringLiteral("Week  4.99%"), SystemColors::purple()},
        {10, 0.05, QStringLiteral("Week  5%"), SystemColors::orange()},
        {10, 0.10, QStringLiteral("Week  10%"), SystemColors::red()},
        {10, 0.123456, QStringLiteral("Week  12.35%"), SystemColors::red()},
    };
    for (const Row &row : rows) {
        BrowserCardModel model = plainModel();
        model.weeklyTokens = row.tokens;
        model.weeklyShare = row.share;
        ProjectCardView card;
        card.configure(model, {});
        QWidget *badge = statusView(card, "weeklyBadge");
        if (!row.text) {
            EXPECT_EQ(badge, nullptr);
            continue;
        }
        ASSERT_NE(badge, nullptr) << row.share;
        EXPECT_EQ(textOf(badge), *row.text);
        EXPECT_TRUE(badge->styleSheet().contains(row.color.name())) << row.share;
    }
}

TEST(ProjectCardView, beingBehindReplacesTheBranchAndOutranksEveryOtherFrame)
{
    BrowserCardModel model = plainModel();
    model.project.displayBranch = QStringLiteral("main");
    model.gitStatus = ProjectGitStatus{true, QStringLiteral("main"),
                                       QStringLiteral("origin/main"), 0, 3, Timestamp::now()};
    model.isSelected = true;
    model.teamSummary = TeamProjectSummary{{teammate("Ana", TeamConflictLevel::critical)}};

    ProjectCardView card;
    card.configure(model, {});
    EXPECT_EQ(statusTexts(card), (QStringList{"Critical overlap", "!  Behind 3"}));
    EXPECT_EQ(statusView(card, "behindLabel")->toolTip(),
              QStringLiteral("Behind origin/main by 3"));
    EXPECT_EQ(card.frameAppearance().border, SystemColors::red());
    EXPECT_EQ(card.frameAppearance().borderWidth, 1.2);

    model.gitStatus->upstream.reset();
    card.configure(model, {});
    EXPECT_EQ(statusView(card, "behindLabel")->toolTip(), QString());

    model.gitStatus->behindCount = 0;
    card.configure(model, {});
    EXPECT_EQ(card.frameAppearance().border, SystemColors::red());
    EXPECT_EQ(card.frameAppearance().borderWidth, 1.0);
    EXPECT_TRUE(statusTexts(card).contains(QStringLiteral("main")));
}

TEST(ProjectCardView, awarenessShowsPeerNamesInGreenAndTheFrameFollowsSelection)
{
    BrowserCardModel model = plainModel();
    model.teamSummary = TeamProjectSummary{{teammate("Ana", TeamConflictLevel::awareness),
                                            teammate("Bo", TeamConflictLevel::awareness)}};
    ProjectCardView card;
    card.configure(model, {});
    QWidget *overlap = statusView(card, "teamOverlapLabel");
    EXPECT_EQ(textOf(overlap), QStringLiteral("Ana, Bo"));
    EXPECT_EQ(textColor(overlap), SystemColors::green());
    EXPECT_EQ(overlap->toolTip(), QStringLiteral("Team activity from Ana, Bo"));
    EXPECT_EQ(card.frameAppearance().borderWidth, 0.5);

    model.isSelected = true;
    card.configure(model, {});
    EXPECT_EQ(card.frameAppearance().border, SystemColors::accent(card.palette()));
    EXPECT_EQ(card.frameAppearance().borderWidth, 1.2);
}

TEST(ProjectCardView, theWorkLineDescribesTheLeadingTeammateOrOurOwnSharing)
{
    TeamProjectPeer away = teammate("Youssef", TeamConflictLevel::high, false);
    away.project.changedFiles = {"src/a.cpp", "src/b.cpp", "src/c.cpp", "src/d.cpp"};
    BrowserCardModel model = plainModel();
    model.teamSummary = TeamProjectSummary{{away}};

    ProjectCardView card;
    card.configure(model, {});
    ElidingLabel *work = label(card, "workLabel");
    ElidingLabel *files = label(card, "filesLabel");
    EXPECT_EQ(work->text(),
              QStringLiteral("Youssef (last synced): Reworking the launch checks"));
    EXPECT_EQ(textColor(work), SystemColors::label(card.palette()));
    EXPECT_EQ(files->text(), QStringLiteral("src/a.cpp, src/b.cpp, src/c.cpp  +1"));
    EXPECT_EQ(files->toolTip(), QStringLiteral("src/a.cpp\nsrc/b.cpp\nsrc/c.cpp\nsrc/d.cpp"));

    SharedProjectState mine;
    mine.repositoryId = QStringLiteral("github.com/acme/orbit");
    mine.isDirty = true;
    model.teamSummary.reset();
    model.localActivity = mine;
    card.configure(model, {});
    EXPECT_EQ(work->text(), QStringLiteral("You share: Codex summary pending"));
    EXPECT_EQ(textColor(work), SystemColors::accent(card.palette()));
    EXPECT_EQ(files->text(), QStringLiteral("No changed files yet"));
    EXPECT_EQ(files->toolTip(), QString());
}

TEST(ProjectCardView, controlsCallTheirActionsAndNothingBeforeTheFirstConfiguration)
{
    QStringList calls;
    ProjectCardActions actions;
    actions.openDetails = [&] { calls.append("details"); };
    actions.togglePin = [&] { calls.append("pin"); };
    actions.openUnread = [&] { calls.append("unread"); };
    actions.openProcessing = [&] { calls.append("processing"); };
    actions.lastChat = [&] { calls.append("last chat"); };
    actions.finder = [&] { calls.append("finder"); };
    actions.terminal = [&] { calls.append("terminal"); };

    ProjectCardView card;
    const QStringList buttons{"detailsButton", "pinButton", "finderButton", "terminalButton",
                              "lastChatSegment"};
    for (const QString &name : buttons)
        card.findChild<QAbstractButton *>(name)->click();
    card.promptToRenameProject();
    card.showTagMenu();
    EXPECT_TRUE(calls.isEmpty());
    EXPECT_EQ(card.findChild<QDialog *>(), nullptr);
    EXPECT_EQ(card.findChild<QMenu *>(), nullptr);

    BrowserCardModel model = plainModel();
    model.project.notificationCount = 1;
    model.project.processingCount = 1;
    card.configure(model, actions);
    for (const QString &name : buttons)
        card.findChild<QAbstractButton *>(name)->click();
    qobject_cast<QToolButton *>(statusView(card, "unreadChip"))->click();
    qobject_cast<QToolButton *>(statusView(card, "processingChip"))->click();
    EXPECT_EQ(calls, (QStringList{"details", "pin", "finder", "terminal", "last chat", "unread",
                                  "processing"}));
}

TEST(ProjectCardView, renamePromptCannotBeConfirmedWhileCodexWorks)
{
    QStringList names;
    ProjectCardActions actions;
    actions.renameProject = [&](const QString &name) { names.append(name); };
    BrowserCardModel model = plainModel();
    model.canRename = false;

    ProjectCardView card;
    card.configure(model, actions);
    card.promptToRenameProject();
    auto *dialog = card.findChild<QDialog *>(QStringLiteral("renameDialog"));
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->findChild<QLabel *>("informativeText")
                    ->text()
                    .endsWith(" Codex is currently working. Finish all active tasks before "
                              "renaming."));
    EXPECT_FALSE(dialog->findChild<QLineEdit *>("nameField")->isEnabled());
    for (QPushButton *button : dialog->findChildren<QPushButton *>()) {
        if (button->text() == QStringLiteral("Rename")) {
            EXPECT_FALSE(button->isEnabled());
        }
    }
    dialog->accept();
    EXPECT_TRUE(names.isEmpty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(card.findChild<QDialog *>(), nullptr);

    model.canRename = true;
    card.configure(model, actions);
    card.promptToRenameProject();
    dialog = card.findChild<QDialog *>(QStringLiteral("renameDialog"));
    ASSERT_NE(dialog, nullptr);
    auto *field = dialog->findChild<QLineEdit *>("nameField");
    EXPECT_EQ(field->text(), QStringLiteral("orbit"));
    EXPECT_EQ(field->width(), 300); // the card's width; the detail header's is wider
    field->setText(QStringLiteral("  Orbit Two "));
    dialog->accept();
    EXPECT_EQ(names, QStringList{"  Orbit Two "});
}

TEST(ProjectCardView, tagMenuTogglesTagsByIdAndOffersToManageThem)
{
    const ProjectTag work{QUuid::createUuid(), QStringLiteral("Work & play")};
    const ProjectTag home{QUuid::createUuid(), QStringLiteral("Home")};
    QList<QUuid> toggled;
    int managed = 0;
    ProjectCardActions actions;
    actions.toggleTag = [&](const QUuid &id) { toggled.append(id); };
    actions.manageTags = [&] { ++managed; };

    BrowserCardModel model = plainModel();
    ProjectCardView card;
    card.configure(model, actions);
    card.showTagMenu();
    QMenu *menu = card.findChild<QMenu *>(QStringLiteral("tagMenu"));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("Create Tag"));
    menu->actions()[0]->trigger();
    EXPECT_EQ(managed, 1);
    delete menu;

    model.availableTags = {work, home};
    model.assignedTags = {home};
    card.configure(model, actions);
    EXPECT_EQ(card.findChild<QToolButton *>("tagButton")->toolTip(), QStringLiteral("Tags: Home"));
    card.showTagMenu();
    menu = card.findChild<QMenu *>(QStringLiteral("tagMenu"));
    const QList<QAction *> items = menu->actions();
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items[0]->text(), QStringLiteral("Work && play"));
    EXPECT_FALSE(items[0]->isChecked());
    EXPECT_TRUE(items[1]->isChecked());
    EXPECT_TRUE(items[2]->isSeparator());
    EXPECT_EQ(items[3]->text(), QStringLiteral("Manage Tags"));
    items[0]->trigger();
    items[1]->setData(QStringLiteral("not-a-uuid"));
    items[1]->trigger();
    EXPECT_EQ(toggled, QList<QUuid>{work.id});
}

TEST(ProjectCardView, recentChatSegmentOffersTheActionsChats)
{
    QStringList opened;
    int newChats = 0;
    ProjectCardActions actions;
    actions.recentChats = {RecentChatMenuItem{"t1", "One", "", Timestamp::now(), false, false}};
    actions.openRecentChat = [&](const QString &id) { opened.append(id); };
    actions.newChat = [&] { ++newChats; };
    ProjectCardView card;
    card.configure(plainModel(), actions);
    EXPECT_TRUE(card.findChild<QToolButton *>("recentChatsSegment")->isEnabled());
    card.lastChatSegmentChanged(1);
    QMenu *menu = card.findChild<QMenu *>(QStringLiteral("recentChatMenu"));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 3);
    menu->actions()[0]->trigger();
    menu->actions()[2]->trigger();
    EXPECT_EQ(newChats, 1);
    EXPECT_EQ(opened, QStringList{"t1"});
}

TEST(BrowserCardModel, everyFieldCountsForEquality)
{
    BrowserCardModel a = plainModel();
    a.gitStatus = ProjectGitStatus{true, QStringLiteral("main"), std::nullopt, 0, 0,
                                   Timestamp::fromSeconds(100)};
    BrowserCardModel b = a;
    EXPECT_EQ(a, b);
    EXPECT_EQ(qHash(a), qHash(b));

    b.gitStatus->checkedAt = Timestamp::fromSeconds(101);
    EXPECT_NE(a, b);
    b = a;
    b.isSelected = true;
    EXPECT_NE(a, b);
    b = a;
    b.weeklyShare = std::nextafter(0.0, 1.0);
    EXPECT_NE(a, b);
    b = a;
    b.project.unreadThreadIDs.insert(QStringLiteral("t9"));
    EXPECT_NE(a, b);
}

// An item that does not fit beside the others goes to a further line: none is hidden or cut,
// however narrow the card, and a wider card takes them back onto fewer lines.
TEST(ProjectCardView, statusItemsThatDoNotFitWrapToAFurtherLineAndStayWhole)
{
    BrowserCardModel model = plainModel();
    model.project.notificationCount = 12;
    model.project.processingCount = 1;
    model.teamNames = {"Core", "Design"};
    model.weeklyTokens = 5000;
    model.weeklyShare = 0.036;
    model.gitStatus = ProjectGitStatus{true, "main", "origin/main", 0, 1, Timestamp::now()};
    // Configured narrow, then widened and narrowed again, as a window resize does.
    ProjectCardView card;
    card.resize(320, 246);
    card.show();
    card.configure(model, {});
    QMap<int, int> linesAt;
    for (const int width : {320, 700, 320}) {
        SCOPED_TRACE(width);
        card.resize(width, card.requiredHeight(width));
        card.layout()->activate();
        QCoreApplication::processEvents();
        auto *strip = card.findChild<QWidget *>(QStringLiteral("statusStack"));
        QSet<int> lineTops;
        for (QWidget *view : statusViews(card)) {
            EXPECT_TRUE(view->isVisible()) << textOf(view).toStdString();
            EXPECT_GE(view->width(), view->sizeHint().width()) << textOf(view).toStdString();
            EXPECT_TRUE(strip->rect().contains(view->geometry())) << textOf(view).toStdString();
            lineTops.insert(view->geometry().center().y());
        }
        EXPECT_EQ(statusTexts(card).first(), QStringLiteral("12 unread"));
        EXPECT_EQ(statusTexts(card).last(), QStringLiteral("!  Behind 1"));
        // What stands below the strip keeps clear of it.
        auto *metrics = card.findChild<QWidget *>(QStringLiteral("metricsLabel"));
        EXPECT_GE(metrics->geometry().top(), strip->geometry().bottom());
        linesAt[width] = int(lineTops.size());
    }
    EXPECT_GE(linesAt[320], 2);
    EXPECT_LT(linesAt[700], linesAt[320]);
}
