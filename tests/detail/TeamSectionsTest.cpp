// The Overview's team sections: the usage table and its totals, each teammate's status and
// overlap sentence, the changed-file list's heights and scrolling, and what this device
// shares. Teammates' texts must reach the screen exactly as sent.
#include "detail/sections/ChangedFileList.h"
#include "widgets/RoundedPanel.h"
#include "detail/sections/SharedWithTeamSection.h"
#include "detail/sections/TeamActivitySection.h"
#include "detail/sections/TeamUsageSection.h"
#include "widgets/BrowserStyle.h"
#include "widgets/CompactNumberFormat.h"
#include "widgets/ElidingLabel.h"
#include "widgets/PlainText.h"
#include "widgets/SystemColors.h"
#include "support/QtPrinters.h"
#include "support/widgets/DesktopBridge.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QListView>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <limits>

using namespace tolvaran;

namespace {

const Timestamp now = Timestamp::fromSeconds(1'767'607'200);
const QLocale usEnglish(QLocale::English, QLocale::UnitedStates);
constexpr qint64 maximum = std::numeric_limits<qint64>::max();
constexpr qint64 minimum = std::numeric_limits<qint64>::min();
const QString markup = QStringLiteral("<b>Ada</b> &amp; <i>co</i>");

TeamProjectUsageMember member(const QString &name, qint64 lifetime, qint64 weekly,
                              double percent, std::optional<double> cost = std::nullopt,
                              bool connected = true)
{
    TeamProjectUsageMember member;
    member.memberName = name;
    member.usage.lifetimeTokens = lifetime;
    member.usage.weeklyTokens = weekly;
    member.usage.weeklyAllowancePercent = percent;
    member.usage.lifetimePlanCost = cost;
    member.isConnected = connected;
    return member;
}

TeamProjectPeer peer(TeamConflictLevel level, bool connected, QStringList overlapping = {})
{
    TeamProjectPeer peer;
    peer.deviceId = QStringLiteral("device-") + QString::number(int(level))
        + (connected ? QStringLiteral("-on") : QStringLiteral("-off"));
    peer.memberName = QStringLiteral("Grace");
    peer.conflictLevel = level;
    peer.isConnected = connected;
    peer.overlappingFiles = std::move(overlapping);
    peer.serverUpdatedAt = now.addingSeconds(-300);
    return peer;
}

QStringList paths(int count)
{
    QStringList files;
    for (int index = 0; index < count; ++index)
        files.append(QStringLiteral("src/file%1.cpp").arg(index));
    return files;
}

QStringList labelTexts(const QWidget &widget, const QString &name = {})
{
    QStringList texts;
    for (const QLabel *label : widget.findChildren<QLabel *>(name)) {
        if (!label->text().isEmpty())
            texts.append(label->text());
    }
    return texts;
}

void expectAllPlainText(const QWidget &widget)
{
    for (const QLabel *label : widget.findChildren<QLabel *>()) {
        if (label->text().isEmpty())
            continue; // a symbol
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
    }
}

} // namespace

TEST(TeamUsageSection, writesEachRowAndTheTotals)
{
    struct Case
    {
        const char *name;
        QList<TeamProjectUsageMember> members;
        QList<TeamUsageRow> expected;
    };
    const QList<Case> cases{
        {"no plan cost anywhere",
         {member("Ada", 0, 0, 0), member("Bo", 999, 12, 2.5, std::nullopt, false)},
         {{"Ada", "0", "0", "0%", "--", true},
          {"Bo", "999", "12", "2.5%", "--", false},
          {"All members", "999", "12", "2.5%", "--", std::nullopt}}},
        {"one of two with a plan cost",
         {member("Ada", 1'200, 1'000, 30, 3.5), member("Bo", 2'500'000, 1'050'000, 45)},
         {{"Ada", compactTokens(1'200), compactTokens(1'000), "30%", "$3.50", true},
          {"Bo", compactTokens(2'500'000), compactTokens(1'050'000), "45%", "--", true},
          {"All members", compactTokens(2'501'200), compactTokens(1'051'000), "75%", "$3.50",
           std::nullopt}}},
        {"percentages past a hundred are not capped, fractions keep two digits",
         {member("Ada", 1, 1, 80.126, 1.004), member("Bo", 1, 1, 33.333, 2)},
         {{"Ada", "1", "1", "80.13%", "$1.00", true},
          {"Bo", "1", "1", "33.33%", "$2.00", true},
          {"All members", "2", "2", "113.46%", "$3.00", std::nullopt}}},
        {"no members", {}, {{"All members", "0", "0", "0%", "--", std::nullopt}}},
    };
    for (const Case &row : cases) {
        EXPECT_EQ(teamUsageRows({row.members}, usEnglish), row.expected) << row.name;
    }
}

// A screen reader walks the table by row and column, each figure with its column's title,
// rather than meeting one loose label after another.
TEST(TeamUsageSection, readsAsATableOfMembersAndFigures)
{
    TeamUsageSection section;
    section.setSummary({{member("Ada", 1'200, 1'000, 30, 3.5), member("Bo", 5, 2, 1.5)}});
    QAccessibleInterface *table = QAccessible::queryAccessibleInterface(
        section.findChild<QWidget *>(QStringLiteral("teamUsageTable")));
    ASSERT_EQ(table->role(), QAccessible::Table);
    QAccessibleTableInterface *cells = table->tableInterface();
    ASSERT_NE(cells, nullptr);
    EXPECT_EQ(cells->rowCount(), 1 + 3); // the header row first
    EXPECT_EQ(cells->columnCount(), 5);
    QStringList headers;
    for (int column = 0; column < cells->columnCount(); ++column)
        headers << cells->columnDescription(column);
    EXPECT_EQ(headers, TeamUsageSection::columnTitles);

    const QList<TeamUsageRow> rows = teamUsageRows(section.summary());
    for (int row = 0; row < rows.size(); ++row) {
        const QStringList expected{rows[row].member, rows[row].projectTotal, rows[row].thisWeek,
                                   rows[row].weeklyLimit, rows[row].totalEstimate};
        for (int column = 0; column < cells->columnCount(); ++column) {
            QAccessibleInterface *cell = cells->cellAt(row + 1, column);
            ASSERT_NE(cell, nullptr) << row << ", " << column;
            EXPECT_EQ(cell->role(), QAccessible::Cell);
            EXPECT_EQ(cell->text(QAccessible::Name), expected[column]);
            QAccessibleTableCellInterface *place = cell->tableCellInterface();
            EXPECT_EQ(place->rowIndex(), row + 1);
            EXPECT_EQ(place->columnIndex(), column);
            ASSERT_EQ(place->columnHeaderCells().size(), 1);
            EXPECT_EQ(place->columnHeaderCells().first()->text(QAccessible::Name),
                      TeamUsageSection::columnTitles[column]);
            EXPECT_EQ(cell->parent()->object(), table->object());
        }
    }
    // The table's children are its headers and cells: what lies between them (the rules) is
    // not read.
    EXPECT_EQ(table->childCount(), 5 + 3 * 5);
    EXPECT_EQ(fixtures::desktopBridgeFaults(table), QStringList());
}

TEST(TeamUsageSection, writesPlanCostsInUsDollarsInAnyLocale)
{
    EXPECT_EQ(teamUsageCostText(3.5, usEnglish), "$3.50");
    EXPECT_EQ(teamUsageCostText(3.5, QLocale::c()), "$3.50");
    EXPECT_EQ(teamUsageCostText(1234.5, QLocale(QLocale::German, QLocale::Germany)),
              QString::fromUtf8("1.234,50\u00a0US$"));
    EXPECT_EQ(teamUsageCostText(std::nullopt, usEnglish), "--");
}

TEST(TeamUsageSection, totalsSaturateInsteadOfWrappingRound)
{
    const TeamUsageTotals high = teamUsageTotals(
        {{member("Ada", maximum, maximum - 1, 0), member("Bo", 5, 2, 0), member("Cy", 1, 1, 0)}});
    EXPECT_EQ(high.lifetimeTokens, maximum);
    EXPECT_EQ(high.weeklyTokens, maximum);

    // A hostile server may send negative counts: the sum stops at the lower limit as well,
    // and a later positive count still counts from there.
    const TeamUsageTotals low =
        teamUsageTotals({{member("Ada", minimum, -1, 0), member("Bo", -7, 0, 0),
                          member("Cy", 10, 0, 0)}});
    EXPECT_EQ(low.lifetimeTokens, minimum + 10);
    EXPECT_EQ(teamUsageRows({{member("Ada", maximum, 0, 0), member("Bo", maximum, 0, 0)}},
                            usEnglish)
                  .last()
                  .projectTotal,
              compactTokens(maximum));
}

TEST(TeamUsageSection, showsTeammatesNamesAsPlainTextWithTheirPresenceDots)
{
    TeamUsageSection section;
    section.setSummary({{member(markup, 10, 1, 10, 1.0, true),
                         member("Bo", 20, 2, 20, std::nullopt, false)}});
    expectAllPlainText(section);
    const QStringList texts = labelTexts(section);
    EXPECT_TRUE(texts.contains(markup));
    for (const QString &title : TeamUsageSection::columnTitles)
        EXPECT_TRUE(texts.contains(title)) << title.toStdString();
    EXPECT_TRUE(texts.contains("All members"));

    QList<QColor> dots;
    for (const QWidget *dot : section.findChildren<QWidget *>("presenceDot"))
        dots.append(dot->property("dotColor").value<QColor>());
    EXPECT_EQ(dots, (QList<QColor>{teamMemberDotColor(true, section.palette()),
                                   teamMemberDotColor(false, section.palette())}));
    EXPECT_EQ(section.findChild<QWidget *>("totalRow")->findChildren<QWidget *>("presenceDot")
                  .size(),
              0);
    EXPECT_EQ(teamMemberDotColor(true, section.palette()), SystemColors::green());
    const QColor faded = teamMemberDotColor(false, section.palette());
    const QColor secondary = BrowserStyle::secondaryLabelColor(section.palette());
    EXPECT_NEAR(faded.alphaF(), secondary.alphaF() * 0.5, 0.01);
    EXPECT_EQ(faded.rgb(), secondary.rgb());

    // A new summary replaces the rows rather than adding to them.
    section.setSummary({{member("Cy", 1, 1, 1)}});
    EXPECT_EQ(section.findChildren<QWidget *>("presenceDot").size(), 1);
    EXPECT_FALSE(labelTexts(section).contains(markup));
}

TEST(TeamActivitySection, givesEachPeerItsStatusLabelAndColour)
{
    const QPalette palette = QApplication::palette();
    const QColor secondary = BrowserStyle::secondaryLabelColor(palette);
    struct Case
    {
        TeamConflictLevel level;
        bool connected;
        const char *label;
        QColor colour;
        const char *symbol;
    };
    const QList<Case> cases{
        {TeamConflictLevel::awareness, false, "Saved work", secondary,
         "person.crop.circle.fill"},
        {TeamConflictLevel::awareness, true, "Active", SystemColors::green(),
         "person.crop.circle.fill"},
        {TeamConflictLevel::caution, true, "Caution", SystemColors::yellow(),
         "exclamationmark.circle.fill"},
        {TeamConflictLevel::caution, false, "Caution", SystemColors::yellow(),
         "exclamationmark.circle.fill"},
        {TeamConflictLevel::high, true, "High overlap", SystemColors::orange(),
         "exclamationmark.triangle.fill"},
        {TeamConflictLevel::high, false, "High overlap", SystemColors::orange(),
         "exclamationmark.triangle.fill"},
        {TeamConflictLevel::critical, false, "Critical overlap", SystemColors::red(),
         "exclamationmark.triangle.fill"},
    };
    for (const Case &row : cases) {
        const TeamProjectPeer shown = peer(row.level, row.connected);
        EXPECT_EQ(TeamActivitySection::statusLabel(shown), row.label);
        EXPECT_EQ(TeamActivitySection::statusColor(shown, palette), row.colour) << row.label;

        // The row's icon and label take the same colour.
        TeamActivitySection section;
        section.setSummary({{shown}}, now);
        const QLabel *icon = section.findChild<QLabel *>("levelIcon");
        EXPECT_EQ(icon->property("symbol").toString(), row.symbol) << row.label;
        EXPECT_EQ(icon->property("symbolColor").value<QColor>(), row.colour) << row.label;
        EXPECT_EQ(section.findChild<QLabel *>("statusLabel")->text(), row.label);
    }
}

TEST(TeamActivitySection, explainsTheOverlapOrWhyThereIsNone)
{
    struct Case
    {
        TeamConflictLevel level;
        bool connected;
        const char *sentence;
    };
    const QList<Case> cases{
        {TeamConflictLevel::critical, true, "Changed file paths overlap."},
        {TeamConflictLevel::high, false, "Changed file paths overlap."},
        {TeamConflictLevel::caution, true,
         "Working on the same branch or Codex is active, but no changed files overlap yet."},
        {TeamConflictLevel::caution, false,
         "Last reported local work is on the same branch, but no changed files overlap."},
        {TeamConflictLevel::awareness, true,
         "Working in another branch or checkout without shared changed files."},
        {TeamConflictLevel::awareness, false,
         "Last reported local work is on another branch or checkout without shared changed "
         "files."},
    };
    for (const Case &row : cases)
        EXPECT_EQ(TeamActivitySection::overlapText(peer(row.level, row.connected)), row.sentence);

    // Overlapping paths are listed in the level's colour alone, connected or not.
    for (bool connected : {true, false}) {
        TeamActivitySection section;
        section.setSummary({{peer(TeamConflictLevel::high, connected, {"a.cpp", "<b>.h"})}}, now);
        const QLabel *overlap = section.findChild<QLabel *>("overlap");
        EXPECT_EQ(overlap->text(), "Both of you changed: a.cpp, <b>.h");
        EXPECT_EQ(overlap->palette().color(QPalette::WindowText), SystemColors::orange());
        EXPECT_TRUE(overlap->textInteractionFlags() & Qt::TextSelectableByMouse);
    }
    TeamActivitySection quiet;
    quiet.setSummary({{peer(TeamConflictLevel::high, true)}}, now);
    EXPECT_EQ(quiet.findChild<QLabel *>("overlap")->palette().color(QPalette::WindowText),
              BrowserStyle::secondaryLabelColor(quiet.palette()));
}

TEST(TeamActivitySection, writesHowFreshEachReportIs)
{
    EXPECT_EQ(TeamActivitySection::freshnessText(peer(TeamConflictLevel::awareness, true), now),
              "Connected now");
    EXPECT_EQ(TeamActivitySection::freshnessText(peer(TeamConflictLevel::awareness, false), now),
              "Last synced 5 min. ago");
}

TEST(TeamActivitySection, outlinesTheListOnlyFromHighOverlapUp)
{
    const TeamProjectPeer calm = peer(TeamConflictLevel::awareness, true);
    struct Case
    {
        QList<TeamProjectPeer> peers;
        std::optional<QColor> outline;
    };
    const QList<Case> cases{
        {{calm, peer(TeamConflictLevel::critical, false), calm},
         SystemColors::withAlpha(SystemColors::red(), 0.65)},
        {{peer(TeamConflictLevel::high, true)},
         SystemColors::withAlpha(SystemColors::orange(), 0.65)},
        {{calm, peer(TeamConflictLevel::caution, true)}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const Case &row : cases) {
        TeamActivitySection section;
        section.setSummary({row.peers}, now);
        EXPECT_EQ(section.peerList()->stroke(), row.outline);
    }
}

TEST(TeamActivitySection, buildsEachPeerRowFromWhatTheTeammateSent)
{
    TeamProjectPeer running = peer(TeamConflictLevel::caution, true);
    running.memberName = markup;
    running.project.isCodexProcessing = true;
    running.project.branch = QStringLiteral("feature/<x>");
    running.project.workSummary = QStringLiteral("<h1>Refactoring</h1>");
    TeamProjectPeer saved = peer(TeamConflictLevel::awareness, false);
    saved.project.isCodexProcessing = true; // a stale report: Codex is not known to run

    TeamActivitySection section;
    section.setSummary({{running, saved}}, now);
    expectAllPlainText(section);
    const QList<QWidget *> rows = section.findChildren<QWidget *>("teamPeerRow");
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(section.peerList()->findChildren<QWidget *>("divider").size(), 1);

    EXPECT_EQ(rows[0]->findChild<ElidingLabel *>("memberName")->text(), markup);
    EXPECT_EQ(rows[0]->findChild<ElidingLabel *>("branch")->text(), "feature/<x>");
    EXPECT_EQ(rows[0]->findChild<QLabel *>("workSummary")->text(), "<h1>Refactoring</h1>");
    EXPECT_NE(rows[0]->findChild<QWidget *>("codexRunning"), nullptr);
    EXPECT_EQ(rows[1]->findChild<QWidget *>("codexRunning"), nullptr);
    EXPECT_EQ(rows[1]->findChild<QLabel *>("branch"), nullptr);
    EXPECT_NE(rows[1]->findChild<QWidget *>("summaryPending"), nullptr);
    EXPECT_TRUE(labelTexts(*rows[1]).contains("Last synced 5 min. ago"));

    // A later summary replaces the rows.
    section.setSummary({{saved}}, now);
    EXPECT_EQ(section.findChildren<QWidget *>("teamPeerRow").size(), 1);
    EXPECT_EQ(section.peerList()->findChildren<QWidget *>("divider").size(), 0);
}

TEST(ChangedFileList, writesTheStatisticsLineWithThePluralOnlyWhereDue)
{
    SharedProjectState state;
    state.additions = 12;
    state.deletions = 3;
    const QList<std::pair<int, const char *>> cases{
        {0, "+12 -3 across 0 shared file paths"},
        {1, "+12 -3 across 1 shared file path"},
        {4, "+12 -3 across 4 shared file paths"},
    };
    for (const auto &[count, expected] : cases) {
        state.changedFiles = paths(count);
        EXPECT_EQ(teamStatisticsLine(state), expected);
    }
}

TEST(ChangedFileList, isNineteenPointsPerRowUpToEightRowsThenScrolls)
{
    struct Case
    {
        int files;
        int height;
        Qt::ScrollBarPolicy scrollBar;
        int gap;
        bool scrolls;
    };
    const QList<Case> cases{
        {3, 57, Qt::ScrollBarAlwaysOff, 0, false},
        {7, 133, Qt::ScrollBarAlwaysOff, 0, false},
        {8, 152, Qt::ScrollBarAsNeeded, 8, false},
        {20, 152, Qt::ScrollBarAsNeeded, 8, true},
        {5000, 152, Qt::ScrollBarAsNeeded, 8, true},
    };
    for (const Case &row : cases) {
        ChangedFileList list;
        list.resize(400, 300);
        list.setFiles(paths(row.files));
        list.show();
        QApplication::processEvents();
        QListView *view = list.listView();
        EXPECT_EQ(view->height(), row.height) << row.files;
        EXPECT_EQ(view->verticalScrollBarPolicy(), row.scrollBar) << row.files;
        const QScrollBar *bar = view->verticalScrollBar();
        EXPECT_EQ(view->width() - view->viewport()->width()
                      - (bar->isVisibleTo(view) ? bar->width() : 0),
                  row.gap)
            << row.files;
        EXPECT_TRUE(view->uniformItemSizes());
        EXPECT_EQ(labelTexts(list, "changedFilesHeading"),
                  QStringList{QStringLiteral("Changed files (%1)").arg(row.files)});
        for (int index : {0, row.files - 1})
            EXPECT_EQ(view->sizeHintForIndex(view->model()->index(index, 0)).height(), 19);
        EXPECT_EQ(view->verticalScrollBar()->maximum() > 0, row.scrolls) << row.files;

        // The last path can be scrolled into view, where it sits inside the list.
        const QModelIndex last = view->model()->index(row.files - 1, 0);
        view->scrollTo(last);
        QApplication::processEvents();
        const QRect shown = view->visualRect(last);
        EXPECT_EQ(shown.height(), 19);
        EXPECT_TRUE(view->viewport()->rect().contains(shown)) << row.files;
        EXPECT_EQ(view->model()->data(last).toString(), paths(row.files).last());
    }
}

TEST(ChangedFileList, copiesTheSelectedPathsInListOrder)
{
    ChangedFileList list;
    list.setFiles({"b.cpp", "<a>.h", "c.md"});
    list.show();
    QApplication::setActiveWindow(&list);
    QListView *view = list.listView();
    view->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&list));
    view->selectionModel()->select(view->model()->index(2, 0), QItemSelectionModel::Select);
    view->selectionModel()->select(view->model()->index(0, 0), QItemSelectionModel::Select);
    QTest::keySequence(view, QKeySequence::Copy);
    EXPECT_EQ(QApplication::clipboard()->text(), "b.cpp\nc.md");
    // A path cut in the middle reads whole in its tooltip, never as markup.
    EXPECT_EQ(view->model()->index(1, 0).data(Qt::ToolTipRole).toString(),
              plainToolTip("<a>.h"));
}

TEST(ChangedFileList, saysSoWhenThereAreNoFiles)
{
    ChangedFileList list;
    list.setFiles(paths(2));
    list.setFiles({});
    EXPECT_TRUE(list.findChild<QLabel *>("noChangedFiles")->isVisibleTo(&list));
    EXPECT_FALSE(list.listView()->isVisibleTo(&list));
    EXPECT_FALSE(list.findChild<QLabel *>("changedFilesHeading")->isVisibleTo(&list));
}

TEST(SharedWithTeamSection, showsTheSummaryOrThatItIsPendingAndTheFiles)
{
    SharedProjectState activity;
    activity.isDirty = true;
    activity.additions = 4;
    activity.changedFiles = {"<script>.js"};
    activity.workSummary = QStringLiteral("Fixing <b>the</b> parser");

    SharedWithTeamSection section;
    section.setActivity(activity);
    expectAllPlainText(section);
    EXPECT_EQ(section.findChild<QLabel *>("workSummary")->text(), "Fixing <b>the</b> parser");
    EXPECT_FALSE(section.findChild<QWidget *>("summaryPending")->isVisibleTo(&section));
    EXPECT_EQ(section.findChild<QLabel *>("statisticsLine")->text(),
              "+4 -0 across 1 shared file path");
    EXPECT_EQ(section.findChild<ChangedFileList *>()->files(), QStringList{"<script>.js"});

    activity.workSummary.reset();
    section.setActivity(activity);
    EXPECT_FALSE(section.findChild<QLabel *>("workSummary")->isVisibleTo(&section));
    EXPECT_TRUE(section.findChild<QWidget *>("summaryPending")->isVisibleTo(&section));
}
