// The browser's small pieces: the sparkline's geometry, the closure button, the short forms
// of figures and dates, the segmented control, the icon table and the scroll that brings the
// focus into view, and the row that wraps.
#include "widgets/ClosureButton.h"
#include "widgets/CompactNumberFormat.h"
#include "widgets/ElidingLabel.h"
#include "widgets/FocusInView.h"
#include "widgets/SegmentedControl.h"
#include "widgets/SymbolIconTable.h"
#include "widgets/WrappingRowLayout.h"
#include "app/cards/TokenUsageSparklineView.h"
#include "platform/AppBrand.h"
#include "platform/RelativeDateFormatter.h"

#include <QCoreApplication>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace tolvaran;

TEST(TokenUsageSparklineView, drawsNothingWithoutTwoPointsAndAPositiveMaximum)
{
    const QSizeF size(100, 20);
    EXPECT_TRUE(TokenUsageSparklineView::linePoints({}, size).isEmpty());
    EXPECT_TRUE(TokenUsageSparklineView::linePoints({7}, size).isEmpty());
    EXPECT_TRUE(TokenUsageSparklineView::linePoints({0, 0, 0}, size).isEmpty());
}

TEST(TokenUsageSparklineView, spansTheViewWithTheLargestValueNearTheTop)
{
    EXPECT_EQ(TokenUsageSparklineView::linePoints({0, 10}, QSizeF(100, 20)),
              (QList<QPointF>{{1, 18}, {99, 2}}));
    EXPECT_EQ(TokenUsageSparklineView::linePoints({4, 8, 2}, QSizeF(92, 24)),
              (QList<QPointF>{{1, 12}, {46, 2}, {91, 17}}));
}

TEST(ClosureButton, showsTheTitleBesideTheImageOrTheImageAlone)
{
    const QIcon icon = symbolIcon(QStringLiteral("plus"));
    ClosureButton titled(QStringLiteral("Add"), icon, {});
    ClosureButton bare(QString(), icon, {});
    EXPECT_EQ(titled.toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    EXPECT_EQ(bare.toolButtonStyle(), Qt::ToolButtonIconOnly);

    ClosureButton *symbol =
        ClosureButton::symbol(QStringLiteral("plus"), QStringLiteral("Add tag"));
    EXPECT_EQ(symbol->toolTip(), QStringLiteral("Add tag"));
    EXPECT_TRUE(symbol->text().isEmpty());
    EXPECT_FALSE(symbol->icon().isNull());
    delete symbol;
}

TEST(ClosureButton, aClickRunsTheHandlerWhenThereIsOne)
{
    ClosureButton button;
    button.click(); // no handler: nothing happens
    int clicks = 0;
    button.setHandler([&clicks] { ++clicks; });
    button.click();
    EXPECT_EQ(clicks, 1);
}

TEST(CompactNumberFormat, writesLargeCountsWithOneFractionDigitAtMost)
{
    const struct
    {
        qint64 count;
        const char *expected;
    } rows[] = {
        {0, "0"},           {999, "999"},         {1000, "1K"},       {1234, "1.2K"},
        {15'650, "15.7K"},  {999'960, "1M"},      {1'500'000, "1.5M"}, {2'000'000'000, "2B"},
        {-1234, "-1.2K"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(compactTokens(row.count), QString::fromLatin1(row.expected)) << row.count;
}

TEST(RelativeDateFormatter, namesTheLargestWholeUnit)
{
    const Timestamp now = Timestamp::fromSeconds(1'800'000'000);
    const struct
    {
        double offset;
        const char *expected;
    } rows[] = {
        {0, "0 sec. ago"},         {-59, "59 sec. ago"},         {-60, "1 min. ago"},
        {-3599, "59 min. ago"},    {-7200, "2 hr. ago"},         {-86400, "1 day ago"},
        {-3 * 86400, "3 days ago"}, {-14 * 86400, "2 wk. ago"},  {-61 * 86400, "2 mo. ago"},
        {-800 * 86400, "2 yr. ago"}, {90, "in 1 min."},          {0.4, "in 0 sec."},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(relativeDateText(now.addingSeconds(row.offset), now),
                  QString::fromLatin1(row.expected))
            << row.offset;
    }
}

TEST(SegmentedControl, selectsOneSegmentOrNone)
{
    SegmentedControl control({QStringLiteral("All"), QStringLiteral("Pinned")});
    int chosen = -1;
    QObject::connect(&control, &SegmentedControl::segmentSelected,
                     [&chosen](int segment) { chosen = segment; });
    control.setSelectedSegment(1);
    EXPECT_EQ(control.selectedSegment(), 1);
    EXPECT_EQ(chosen, -1) << "selecting from code is not the user's choice";
    control.setSelectedSegment(7);
    EXPECT_EQ(control.selectedSegment(), -1);
}

TEST(SymbolIconTable, everyKnownSymbolHasAnIconAndAnUnknownOneNone)
{
    for (const char *symbol : {"sidebar.left", "plus", "arrow.clockwise", "ellipsis.circle",
                               "chevron.left", "chevron.right", "xmark", "person.2",
                               "arrow.down.circle.fill", "point.3.connected.trianglepath.dotted",
                               "tag.fill", "bell.fill", "gearshape.fill", "star.fill"}) {
        EXPECT_FALSE(symbolIcon(QLatin1String(symbol)).isNull()) << symbol;
        EXPECT_FALSE(themeIconNames(QLatin1String(symbol)).isEmpty()) << symbol;
    }
    EXPECT_TRUE(symbolIcon(QStringLiteral("no.such.symbol")).isNull());
}

TEST(AppBrand, versionFallsBackWhenTheProgramStatesNone)
{
    const QString stated = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationVersion(QString());
    EXPECT_EQ(AppBrand::version(), QStringLiteral("26.8.70"));
    QCoreApplication::setApplicationVersion(QStringLiteral("27.1.0"));
    EXPECT_EQ(AppBrand::version(), QStringLiteral("27.1.0"));
    QCoreApplication::setApplicationVersion(stated);
}

TEST(ElidingLabel, aCutStatusLineKeepsItsWholeTextInItsTooltip)
{
    ElidingLabel label;
    label.setMaximumLineCount(2);
    label.setToolTipWhenCut(true);
    label.resize(120, 40);
    label.show();
    const QString whole = QStringLiteral("Could not read <b>the</b> Codex folder: permission "
                                         "denied while opening the thread database");
    label.setText(whole);
    EXPECT_NE(label.QLabel::text(), whole);
    // Plain text: the markup-like words show as they are.
    EXPECT_TRUE(label.toolTip().contains(QStringLiteral("&lt;b&gt;the&lt;/b&gt;")))
        << label.toolTip().toStdString();
    EXPECT_TRUE(label.toolTip().contains(QStringLiteral("thread database")));

    label.resize(2000, 40);
    EXPECT_EQ(label.QLabel::text(), whole);
    EXPECT_TRUE(label.toolTip().isEmpty());

    // Too many lines is cut too.
    label.setText(QStringLiteral("a\nb\nc"));
    EXPECT_FALSE(label.toolTip().isEmpty());
}

// Along one axis of a view 100 long, with a margin of 8: what shows with its margin stays, the
// rest comes in by the least move, with as much margin as the view has room for, and a span
// longer than the view brings its start in.
TEST(FocusInView, scrollsTheLeastThatShowsTheWholeSpanOrItsStart)
{
    const struct
    {
        const char *name;
        int start;
        int length;
        int move;
    } rows[] = {
        {"shown", 20, 50, 0},
        {"shown, its margin cut", 2, 50, -6},
        {"below", 150, 40, 98},
        {"partly below", 80, 40, 28},
        {"above", -60, 40, -68},
        {"little room for the margin", 150, 96, 148},
        {"as long as the view", -10, 100, -10},
        {"longer than the view, below", 150, 300, 150},
        {"longer than the view, above", -200, 300, -200},
        {"longer than the view, from its start", 0, 300, 0},
    };
    for (const auto &row : rows)
        EXPECT_EQ(scrollToReveal(100, row.start, row.length, 8), row.move) << row.name;
}

// Items of 100, 60 and 80 pixels with 10 between them, in rooms of 300 and of 200 (the third
// on a line of its own): as they are, or filling each line's width, the spare room shared.
TEST(WrappingRowLayout, wrapsItemsAndFillsLinesWhenAsked)
{
    const struct
    {
        int room;
        bool fills;
        QList<QRect> placed;
        bool lastAtTrailingEdge = false;
    } rows[] = {
        {300, false, {{0, 0, 100, 20}, {110, 0, 60, 20}, {180, 0, 80, 20}}},
        {300, true, {{0, 0, 113, 20}, {123, 0, 73, 20}, {206, 0, 94, 20}}},
        {200, false, {{0, 0, 100, 20}, {110, 0, 60, 20}, {0, 25, 80, 20}}},
        {200, true, {{0, 0, 115, 20}, {125, 0, 75, 20}, {0, 25, 200, 20}}},
        {300, false, {{0, 0, 100, 20}, {110, 0, 60, 20}, {220, 0, 80, 20}}, true},
        {200, false, {{0, 0, 100, 20}, {110, 0, 60, 20}, {120, 25, 80, 20}}, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(QStringLiteral("%1 %2 %3")
                         .arg(row.room)
                         .arg(row.fills)
                         .arg(row.lastAtTrailingEdge)
                         .toStdString());
        QWidget host;
        auto *layout = new WrappingRowLayout(&host);
        layout->setHorizontalSpacing(10);
        layout->setVerticalSpacing(5);
        layout->setFillsLines(row.fills);
        layout->setLastItemAtTrailingEdge(row.lastAtTrailingEdge);
        QList<QWidget *> items;
        for (const int width : {100, 60, 80}) {
            items.append(new QWidget(&host));
            items.last()->setMinimumSize(width, 20);
            items.last()->setMaximumHeight(20);
            layout->addWidget(items.last());
        }
        EXPECT_EQ(layout->minimumSize().width(), 100);
        EXPECT_EQ(layout->heightForWidth(row.room), row.placed.last().bottom() + 1);
        layout->setGeometry(QRect(0, 0, row.room, layout->heightForWidth(row.room)));
        QList<QRect> placed;
        for (const QWidget *item : items)
            placed.append(item->geometry());
        EXPECT_EQ(placed, row.placed);
    }
}
