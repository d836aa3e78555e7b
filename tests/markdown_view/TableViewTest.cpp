#include "RenderedText.h"

#include "markdown/MarkdownParser.h"
#include "markdown_view/ImageProvider.h"
#include "markdown_view/MarkdownView.h"
#include "markdown_view/ResizeToFit.h"
#include "markdown_view/items/TableView.h"
#include "support/markdown/MarkdownCorpus.h"
#include "support/markdown/TableDocuments.h"
#include "support/QtPrinters.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

using namespace tolvaran::markdown;
using namespace tolvaran::markdown::testing;

namespace {

// `markdown` laid out at `width`; its pictures, where there are any, are files of
// `pictureFolder` by name.
std::unique_ptr<DocumentLayout> laidOut(const QString &markdown, qreal width = 500,
                                        const Theme &theme = Theme::basic(),
                                        ColorScheme scheme = ColorScheme::light,
                                        const QString &pictureFolder = {})
{
    StyleContext context = MarkdownView::rootContext(theme, {}, QApplication::palette());
    context.colorScheme = scheme;
    if (!pictureFolder.isEmpty())
        context.imageProvider = std::make_shared<AssetImageProvider>(nullptr, pictureFolder);
    auto layout = std::make_unique<DocumentLayout>(parseMarkdown(markdown), context);
    layout->setWidth(width);
    layout->layoutAll();
    return layout;
}

const TableGridItem &onlyGrid(const DocumentLayout &layout)
{
    const auto grids = placedOfType<TableGridItem>(layout);
    EXPECT_EQ(grids.size(), 1);
    return *grids.first().first;
}

// The window the only table shows through, and its origin in document coordinates.
std::pair<HorizontalScrollItem *, QPointF> onlyWindow(const DocumentLayout &layout)
{
    for (const auto &[scroll, origin] : placedOfType<HorizontalScrollItem>(layout)) {
        if (dynamic_cast<const TableGridItem *>(scroll->children().front().item.get()))
            return {const_cast<HorizontalScrollItem *>(scroll), origin};
    }
    ADD_FAILURE() << "no table window";
    return {};
}

// The frame of the text `text` inside the grid, in grid coordinates.
QRectF textFrame(const TableGridItem &grid, const QString &text)
{
    QList<PlacedItem> placed;
    collectPlaced(grid, QPointF(), placed);
    for (const PlacedItem &item : placed) {
        const auto *textItem = dynamic_cast<const TextItem *>(item.item);
        if (textItem && textItem->text() == text)
            return {item.origin, textItem->size()};
    }
    ADD_FAILURE() << "no cell text " << text.toStdString();
    return {};
}

} // namespace

TEST(TableView, cellsAlignAsTheirColumnSays)
{
    const auto layout = laidOut(QStringLiteral("| left header | centre header | right header |"
                                               " plain header |\n"
                                               "|:--|:-:|--:|---|\n| l | c | r | p |"));
    const TableGridItem &grid = onlyGrid(*layout);
    const TableBounds &bounds = grid.tableBounds();
    ASSERT_EQ(bounds.columns.size(), 4);
    const QRectF left = textFrame(grid, QStringLiteral("l"));
    const QRectF centre = textFrame(grid, QStringLiteral("c"));
    const QRectF right = textFrame(grid, QStringLiteral("r"));
    const QRectF plain = textFrame(grid, QStringLiteral("p"));
    const auto column = [&](int index) {
        return QRectF(bounds.columns[index].minX, 0, bounds.columns[index].width, 1);
    };
    // Cells carry the basic theme's horizontal padding inside their column.
    const qreal inset = left.left() - column(0).left();
    EXPECT_GT(inset, 0);
    EXPECT_NEAR(centre.center().x(), column(1).center().x(), 1);
    EXPECT_NEAR(column(2).right() - right.right(), inset, 1);
    EXPECT_NEAR(plain.left() - column(3).left(), inset, 1);
}

TEST(TableView, columnsAreAsWideAsTheirWidestCellAndRowsAsTheirTallestCell)
{
    const auto layout = laidOut(QStringLiteral("| a long header text | b |\n|---|---|\n"
                                               "| x | two<br>lines |"));
    const TableGridItem &grid = onlyGrid(*layout);
    const TableBounds &bounds = grid.tableBounds();
    const QRectF header = textFrame(grid, QStringLiteral("a long header text"));
    const QRectF shortCell = textFrame(grid, QStringLiteral("x"));
    EXPECT_GE(bounds.columns[0].width, header.width());
    EXPECT_LT(shortCell.width(), header.width());
    // The one-line cell is centred vertically in the row the two-line cell makes.
    EXPECT_NEAR(shortCell.center().y(), bounds.rows[1].minY + bounds.rows[1].height / 2, 1);
    // One border width (1) between cells and around them.
    EXPECT_EQ(bounds.columns[0].minX, 1);
    EXPECT_EQ(bounds.columns[1].minX, bounds.columns[0].minX + bounds.columns[0].width + 1);
    EXPECT_EQ(bounds.rows[0].minY, 1);
    EXPECT_EQ(bounds.bounds.right(), bounds.columns[1].minX + bounds.columns[1].width + 1);
}

TEST(TableView, rowsWithMoreOrFewerCellsThanTheHeaderKeepTheHeadersColumns)
{
    const auto layout =
        laidOut(QStringLiteral("| a | b |\n|---|---|\n| 1 | 2 | 3 |\n| only |"));
    const TableGridItem &grid = onlyGrid(*layout);
    EXPECT_EQ(grid.tableBounds().columns.size(), 2);
    EXPECT_EQ(grid.tableBounds().rows.size(), 3);
    EXPECT_EQ(renderedTexts(*layout),
              (QStringList{"a", "b", "1", "2", "only", QString()}));
}

TEST(TableView, anEmptyTableDrawsOnlyItsFrame)
{
    for (const QList<RawTableRow> &rows :
         {QList<RawTableRow>{}, QList<RawTableRow>{RawTableRow{}}}) {
        const StyleContext context =
            MarkdownView::rootContext(Theme::basic(), {}, QApplication::palette());
        BlockItemPointer item = tableView({}, rows)(context);
        const QSizeF size = item->layout(300);
        EXPECT_EQ(size, QSizeF(2, 2));
        QImage image(10, 10, QImage::Format_ARGB32);
        QPainter painter(&image);
        item->paint(PaintContext{&painter, QApplication::palette(), QRectF(0, 0, 10, 10)},
                    QPointF());
    }
    // A table of its header only still has its row and its outside border.
    const auto layout = laidOut(QStringLiteral("| a | b |\n|---|---|"));
    const TableGridItem &grid = onlyGrid(*layout);
    EXPECT_EQ(grid.tableBounds().rows.size(), 1);
    EXPECT_TRUE(grid.borderRectangles().contains(grid.tableBounds().bounds));
}

// A word wider than the window breaks inside what the other column leaves of it: the table
// fits, nothing to scroll.
TEST(TableView, aWordWiderThanTheWindowBreaksBesideTheOtherColumns)
{
    const QString word(400, QLatin1Char('w'));
    const auto layout =
        laidOut(QStringLiteral("| name | value |\n|---|---|\n| key | %1 |").arg(word), 300);
    const TableGridItem &grid = onlyGrid(*layout);
    EXPECT_EQ(onlyWindow(*layout).first->size(), grid.size());
    EXPECT_LE(grid.size().width(), 300);
    const QRectF cell = textFrame(grid, word);
    EXPECT_LE(cell.width(), 300);
    EXPECT_LE(cell.right(), grid.size().width());
    EXPECT_GT(cell.height(), 3 * textFrame(grid, QStringLiteral("key")).height());
    // The narrow column keeps its width.
    EXPECT_GE(grid.tableBounds().columns[0].width,
              textFrame(grid, QStringLiteral("name")).width());
}

TEST(TableView, fittedColumnWidths)
{
    const struct
    {
        const char *name;
        QList<qreal> natural;
        QList<qreal> longestWord;
        qreal available;
        qreal widest;
        QList<qreal> expected;
        QList<qreal> wholeWord = {};
    } cases[] = {
        {"fits", {50, 100}, {30, 60}, 300, 290, {50, 100}},
        {"narrow keeps, wide wraps between words", {50, 1000}, {40, 100}, 300, 290, {50, 250}},
        {"wide ones share what they lack", {100, 300, 500}, {100, 100, 100}, 500, 490,
         {100, 166, 233}},
        {"a narrow column leaves a long word its room", {140, 1000}, {20, 180}, 300, 290,
         {32, 267}},
        {"words do not fit: natural widths", {50, 120, 80}, {40, 110, 80}, 200, 190,
         {50, 120, 80}},
        {"words do not fit: prose up to the widest", {50, 120, 1000}, {40, 110, 100}, 150, 140,
         {50, 120, 140}},
        {"a word wider than the widest takes what the others' words leave", {50, 1000},
         {40, 600}, 300, 290, {40, 260}},
        {"two such words share it", {50, 1000, 900}, {40, 600, 700}, 300, 290, {40, 130, 130}},
        {"the others' words fill the width: it scrolls, breaking the word at the widest",
         {160, 150, 1000}, {150, 150, 600}, 300, 290, {160, 150, 290}},
        {"such a column keeps its other words whole", {50, 1000, 900}, {40, 600, 700}, 300, 290,
         {40, 150, 110}, {0, 150, 20}},
        {"they do not fit beside the others' words: it scrolls", {200, 1000}, {180, 600}, 300,
         290, {200, 290}, {0, 140}},
        {"none", {}, {}, 100, 90, {}},
        {"no room", {100, 100}, {50, 50}, 0, 0, {0, 0}},
    };
    for (const auto &row : cases) {
        EXPECT_EQ(fittedColumnWidths(row.natural, row.longestWord, row.available, row.widest,
                                     row.wholeWord),
                  row.expected)
            << row.name;
    }
}

namespace {

// The widest word of a cell's text in its font.
qreal longestWord(const TextItem &text)
{
    const QFontMetricsF metrics(text.attributedText().formats.first().format.font());
    qreal widest = 0;
    for (const QString &word : text.text().split(QLatin1Char(' '), Qt::SkipEmptyParts))
        widest = std::max(widest, metrics.horizontalAdvance(word));
    return widest;
}

struct PlacedCell
{
    const TextItem *text;
    QRectF frame;   // in grid coordinates
    QRectF column;  // the column's rectangle, as tall as the cell's row
};

QList<PlacedCell> placedCells(const TableGridItem &grid)
{
    const TableBounds &bounds = grid.tableBounds();
    QList<PlacedItem> placed;
    collectPlaced(grid, QPointF(), placed);
    QList<PlacedCell> cells;
    for (const PlacedItem &item : placed) {
        const auto *text = dynamic_cast<const TextItem *>(item.item);
        if (!text)
            continue;
        const QRectF frame(item.origin, text->size());
        const QPointF centre = frame.center();
        for (qsizetype row = 0; row < bounds.rows.size(); ++row) {
            for (qsizetype column = 0; column < bounds.columns.size(); ++column) {
                if (bounds.cell(row, column).contains(centre))
                    cells.append({text, frame, bounds.cell(row, column)});
            }
        }
    }
    return cells;
}

// A table as build guides write them: short columns of long words beside one of prose.
const QString platformTable = QStringLiteral(
    "| Operating System | Architectures | Notes |\n|---|---|---|\n"
    "| Linux | x86_64, aarch64, riscv64 | Builds with the distribution's own compiler and needs "
    "nothing else installed first |\n"
    "| Windows | x86_64 | Needs the platform's development kit and a recent compiler |\n"
    "| FreeBSD | amd64 | Supported by the community |\n");

} // namespace

// Where the table fits with whole words, every column is at least as wide as its longest word:
// text wraps between words only.
TEST(TableView, columnsKeepTheirLongestWordWholeWhereTheTableCanFit)
{
    for (const qreal width : {420.0, 520.0, 700.0}) {
        const auto layout = laidOut(platformTable, width, Theme::gitHub());
        const TableGridItem &grid = onlyGrid(*layout);
        EXPECT_LE(grid.size().width(), width);
        // Its window is the table's own size: nothing to scroll.
        EXPECT_EQ(onlyWindow(*layout).first->size(), grid.size());
        const QList<PlacedCell> cells = placedCells(grid);
        ASSERT_EQ(cells.size(), 12);
        for (const PlacedCell &cell : cells) {
            const qreal inset = cell.frame.left() - cell.column.left();
            EXPECT_GE(cell.column.width() - 2 * inset, std::floor(longestWord(*cell.text)))
                << cell.text->text().toStdString() << " at " << width;
        }
    }
}

// Where it cannot, the table passes the width and its window keeps to it: only words wider
// than the window break, and every cell stays inside its column and row.
TEST(TableView, aTableTooNarrowForItsWordsBreaksOnlyThoseWiderThanTheWindow)
{
    const QString word(60, QLatin1Char('w'));
    const QString table = QStringLiteral("| Key | Value | Kind |\n|---|---|---|\n"
                                         "| ConfigurationDirectory | %1 | tiny |\n"
                                         "| another | %1%1 | DocumentationOnly |\n")
                              .arg(word);
    for (const qreal width : {260.0, 360.0}) {
        const auto layout = laidOut(table, width, Theme::gitHub());
        const TableGridItem &grid = onlyGrid(*layout);
        EXPECT_GT(grid.size().width(), width);
        EXPECT_LE(onlyWindow(*layout).first->size().width(), width);
        for (const PlacedCell &cell : placedCells(grid)) {
            EXPECT_TRUE(cell.column.contains(cell.frame))
                << cell.text->text().toStdString() << " at " << width;
            if (!cell.text->text().startsWith(word)) {
                const qreal inset = cell.frame.left() - cell.column.left();
                EXPECT_GE(cell.column.width() - 2 * inset, std::floor(longestWord(*cell.text)))
                    << cell.text->text().toStdString() << " at " << width;
            }
        }
    }
    // So narrow that not even a letter of each column fits: the cells keep their letters and
    // the table grows past the width rather than draw cells over each other.
    const auto narrow = laidOut(table, 40, Theme::gitHub());
    for (const PlacedCell &cell : placedCells(onlyGrid(*narrow)))
        EXPECT_TRUE(cell.column.contains(cell.frame)) << cell.text->text().toStdString();
}

// What a README's tables make of the width offered: two screenshots side by side shrink into
// their columns, a word wider than the window breaks and leaves the short column beside it in
// view, and a table whose whole words cannot fit still scrolls with every word whole.
TEST(TableView, aTableFitsTheWidthUnlessItsWholeWordsCannot)
{
    namespace fixtures = tolvaran::fixtures::markdown;
    QTemporaryDir pictures;
    const QSize pictureSize(800, 500);
    ASSERT_TRUE(fixtures::writeBeforeAfterPictures(pictures.path(), pictureSize));
    const struct
    {
        const char *name;
        QString markdown;
        bool scrolls;
        qsizetype pictures;
    } cases[] = {
        {"two screenshots side by side", fixtures::beforeAfterTable(), false, 2},
        {"a 300-letter word beside a short column", fixtures::longWordTable(300), false, 0},
        {"12 columns of whole words", fixtures::wideTable(12, 4), true, 0},
    };
    const qreal width = 860;
    for (const auto &row : cases) {
        SCOPED_TRACE(row.name);
        const auto layout =
            laidOut(row.markdown, width, Theme::gitHub(), ColorScheme::light, pictures.path());
        const TableGridItem &grid = onlyGrid(*layout);
        const qreal window = onlyWindow(*layout).first->size().width();
        EXPECT_LE(window, width);
        EXPECT_EQ(grid.size().width() > window, row.scrolls);
        const qreal gap = grid.tableBounds().columns.first().minX;
        for (const PlacedCell &cell : placedCells(grid)) {
            const std::string text = cell.text->text().toStdString();
            EXPECT_TRUE(cell.column.contains(cell.frame)) << text;
            // Only a word wider than the widest column the window allows breaks.
            const qreal inset = cell.frame.left() - cell.column.left();
            const qreal longest = longestWord(*cell.text);
            if (longest <= window - 2 * gap - 2 * inset) {
                EXPECT_GE(cell.column.width() - 2 * inset, std::floor(longest)) << text;
            }
        }

        QList<PlacedItem> placed;
        collectPlaced(grid, QPointF(), placed);
        QList<QRectF> shown;
        for (const PlacedItem &item : placed) {
            if (dynamic_cast<const ResizeToFitItem *>(item.item))
                shown.append(QRectF(item.origin, item.item->size()));
        }
        ASSERT_EQ(shown.size(), row.pictures);
        for (const QRectF &picture : shown) {
            EXPECT_LE(picture.right(), window);
            EXPECT_GT(picture.width(), width / 3) << "shrunk no more than its column needs";
            EXPECT_NEAR(picture.width() / picture.height(),
                        qreal(pictureSize.width()) / pictureSize.height(), 0.02);
        }
        if (shown.size() == 2) {
            EXPECT_NEAR(shown[0].center().y(), shown[1].center().y(), 1);
            EXPECT_LE(shown[0].right(), shown[1].left());
        }
    }
}

// Header words, bold as headers show them, over a hash or token wider than the window (32
// letters a column): only the token breaks, every word that fits the widest column the window
// allows stays whole.
TEST(TableView, headerWordsStayWholeBesideAWordWiderThanTheWindow)
{
    const QStringList words = QStringLiteral("Key SHA Checksum Name Type Value Default Status "
                                             "Version Description ID URL Hash")
                                  .split(u' ');
    // On one line: as tall as the text laid out unbounded.
    const auto onOneLine = [](const TextItem &text) {
        TextItem unbroken(text.attributedText(), text.options());
        return text.size().height() == unbroken.layout(unboundedWidth).height();
    };
    for (const qreal width : {300.0, 420.0, 860.0}) {
        for (const QString &word : words) {
            for (const QStringList &headers :
                 {QStringList{word, "Hash"}, QStringList{word, "Checksum", "Value"}}) {
                const auto layout = laidOut(tolvaran::fixtures::markdown::tokenTable(
                                                headers, 32 * int(headers.size())),
                                            width, Theme::gitHub());
                const TableGridItem &grid = onlyGrid(*layout);
                const qreal widest = onlyWindow(*layout).first->size().width()
                                     - 2 * grid.tableBounds().columns.first().minX;
                for (const PlacedCell &cell : placedCells(grid)) {
                    const qreal inset = cell.frame.left() - cell.column.left();
                    if (longestWord(*cell.text) <= widest - 2 * inset) {
                        EXPECT_TRUE(onOneLine(*cell.text))
                            << cell.text->text().toStdString() << " at " << width;
                    }
                }
            }
        }
    }
}

namespace {

// `point` of the document where it shows in the view's viewport.
QPoint inViewport(const MarkdownView &view, const QPointF &point)
{
    return (point - QPointF(0, view.verticalScrollBar()->value())).toPoint();
}

void dragThumb(MarkdownView &view, const HorizontalScrollItem &scroll, const QPointF &origin,
               qreal by)
{
    const QPointF grab = scroll.thumbRect().translated(origin).center();
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, inViewport(view, grab));
    const QPoint dropped = inViewport(view, grab + QPointF(by, 0));
    QMouseEvent move(QEvent::MouseMove, dropped, view.viewport()->mapToGlobal(dropped),
                     Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(view.viewport(), &move);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, dropped);
}

// The offsets the arrow key `key` scrolls the window in focus through, until it stops.
QList<qreal> offsetsByKey(MarkdownView &view, const HorizontalScrollItem &scroll, Qt::Key key)
{
    QList<qreal> offsets{scroll.offset()};
    for (int step = 0; step < 1000; ++step) {
        QTest::keyClick(&view, key);
        if (scroll.offset() == offsets.last())
            break;
        offsets.append(scroll.offset());
    }
    return offsets;
}

} // namespace

// A table too wide for its words at the pane's width keeps them whole and scrolls sideways in
// its own window: every cell lies inside the content the window scrolls over, and the scroll
// bar and the keyboard bring every part of it into view.
TEST(TableView, aTableTooWideForItsWordsScrollsToEveryCell)
{
    namespace fixtures = tolvaran::fixtures::markdown;
    const struct
    {
        const char *name;
        QString markdown;
        int width;
    } cases[] = {
        {"12 columns", fixtures::wideTable(12, 4), 420},
        {"30 columns", fixtures::wideTable(30, 4), 860},
        {"platforms", fixtures::platformTable(), 420},
    };
    for (const auto &row : cases) {
        SCOPED_TRACE(row.name);
        MarkdownView view;
        view.resize(row.width, 500);
        view.setTheme(Theme::gitHub());
        view.setContent(MarkdownContent(QStringLiteral("Before the table.\n\n") + row.markdown
                                        + QStringLiteral("\nAfter it.\n")));
        view.show();
        view.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
        view.documentLayout()->layoutAll();
        const auto [scroll, origin] = onlyWindow(*view.documentLayout());
        ASSERT_NE(scroll, nullptr);
        const auto &grid = static_cast<const TableGridItem &>(*scroll->children().front().item);
        const qreal window = scroll->size().width();
        EXPECT_LE(window, view.viewport()->width());
        ASSERT_GT(grid.size().width(), window);
        ASSERT_FALSE(scroll->scrollBarRect().isEmpty());

        const TableBounds &bounds = grid.tableBounds();
        const qreal gap = bounds.columns.first().minX;
        const QList<PlacedCell> cells = placedCells(grid);
        EXPECT_EQ(cells.size(), bounds.rows.size() * bounds.columns.size());
        for (const PlacedCell &cell : cells) {
            EXPECT_TRUE(bounds.bounds.contains(cell.column));
            if (cell.text->text().isEmpty())
                continue;
            const std::string text = cell.text->text().toStdString();
            EXPECT_TRUE(cell.column.contains(cell.frame)) << text;
            EXPECT_LE(cell.column.width(), window - 2 * gap) << text;
            // No word breaks that fits the widest column the window allows.
            const qreal inset = cell.frame.left() - cell.column.left();
            const qreal longest = longestWord(*cell.text);
            if (longest <= window - 2 * gap - 2 * inset) {
                EXPECT_GE(cell.column.width() - 2 * inset, std::floor(longest)) << text;
            }
        }

        // The scroll bar: its thumb dragged to either end shows either end of the table.
        const qreal limit = grid.size().width() - window;
        view.verticalScrollBar()->setValue(
            int(origin.y() + scroll->size().height() - view.viewport()->height() / 2));
        dragThumb(view, *scroll, origin, window);
        EXPECT_EQ(scroll->offset(), limit);
        dragThumb(view, *scroll, origin, -window);
        EXPECT_EQ(scroll->offset(), 0);
        // A sideways wheel over the table scrolls it, as over wide code.
        const QPointF over = inViewport(view, origin + QPointF(20, 20));
        QWheelEvent wheel(over, view.viewport()->mapToGlobal(over), QPoint(), QPoint(-240, 0),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view.viewport(), &wheel);
        EXPECT_GT(scroll->offset(), 0);

        // The keyboard: Tab reaches the table, the arrows scroll it from end to end in steps
        // that skip nothing.
        view.setFocus();
        QTest::keyClick(&view, Qt::Key_Tab);
        ASSERT_TRUE(view.focusTarget());
        EXPECT_EQ(view.focusTarget()->item, scroll);
        for (const Qt::Key key : {Qt::Key_Right, Qt::Key_Left}) {
            const QList<qreal> offsets = offsetsByKey(view, *scroll, key);
            EXPECT_EQ(offsets.last(), key == Qt::Key_Right ? limit : 0);
            for (qsizetype step = 1; step < offsets.size(); ++step)
                EXPECT_LE(std::abs(offsets[step] - offsets[step - 1]), window);
        }
    }
}

// A link in a column out of the window scrolls into it when Tab reaches it.
TEST(TableView, aLinkOutOfTheWindowScrollsIntoItWhenTabReachesIt)
{
    MarkdownView view;
    view.resize(420, 500);
    view.setTheme(Theme::gitHub());
    view.setContent(MarkdownContent(tolvaran::fixtures::markdown::wideTable(12, 2)));
    view.show();
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    const auto [scroll, origin] = onlyWindow(*view.documentLayout());
    ASSERT_NE(scroll, nullptr);
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_Tab);
    QTest::keyClick(&view, Qt::Key_Tab);
    ASSERT_TRUE(view.focusTarget());
    ASSERT_EQ(view.focusTarget()->url, QUrl("https://example.com/details"));
    EXPECT_GT(scroll->offset(), 0);
    const QRectF frame(origin, scroll->size());
    const QRectF link = view.focusTarget()->rects.first();
    EXPECT_GE(link.left(), frame.left());
    EXPECT_LE(link.right() + 2, frame.right()) << "with room for its focus frame";
    QTest::keyClick(&view, Qt::Key_Backtab);
    EXPECT_EQ(view.focusTarget()->item, scroll);
}

TEST(TableBorderSelector, selectsTheLinesOfTheGrid)
{
    // A grid of 3 rows and 2 columns, cells 10 by 5, border width 1.
    TableBounds bounds;
    bounds.bounds = QRectF(0, 0, 23, 19);
    bounds.rows = {{1, 5}, {7, 5}, {13, 5}};
    bounds.columns = {{1, 10}, {12, 10}};
    const QRectF ring = bounds.bounds;
    const QRectF below0(0, 6, 23, 1), below1(0, 12, 23, 1), right0(11, 0, 1, 19);
    const QRectF top(0, 0, 23, 1), bottom(0, 18, 23, 1);
    const struct
    {
        const char *name;
        TableBorderSelector selector;
        QList<QRectF> expected;
    } cases[] = {
        {"insideHorizontal", TableBorderSelector::insideHorizontalBorders(), {below0, below1}},
        {"insideVertical", TableBorderSelector::insideVerticalBorders(), {right0}},
        {"inside", TableBorderSelector::insideBorders(), {below0, below1, right0}},
        {"outside", TableBorderSelector::outsideBorders(), {ring}},
        {"all", TableBorderSelector::allBorders(), {below0, below1, right0, ring}},
        {"horizontal", TableBorderSelector::horizontalBorders(), {top, bottom, below0, below1}},
    };
    for (const auto &row : cases)
        EXPECT_EQ(row.selector.rectangles(bounds, 1), row.expected) << row.name;

    TableBounds oneCell;
    oneCell.bounds = QRectF(0, 0, 12, 7);
    oneCell.rows = {{1, 5}};
    oneCell.columns = {{1, 10}};
    EXPECT_TRUE(TableBorderSelector::insideBorders().rectangles(oneCell, 1).isEmpty());
    EXPECT_EQ(TableBorderSelector::outsideBorders().rectangles(oneCell, 1).size(), 1);
}

TEST(TableBackgroundStyle, alternatingRows)
{
    const Color a(Qt::red), b(Qt::green), h(Qt::blue);
    const TableBackgroundStyle plain = TableBackgroundStyle::alternatingRows(a, b);
    const TableBackgroundStyle headed = TableBackgroundStyle::alternatingRows(a, b, h);
    const QList<Color> plainExpected{a, a, b, a, b}, headedExpected{h, a, b, a, b};
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(plain.background(row, 3), plainExpected[row]) << row;
        EXPECT_EQ(headed.background(row, 0), headedExpected[row]) << row;
    }
    EXPECT_EQ(TableBackgroundStyle::clear().background(2, 2).resolved(ColorScheme::light).alpha(),
              0);
}

TEST(TableView, gitHubTableHasAlternatingRowsAndASemiboldHeader)
{
    const auto layout = laidOut(QStringLiteral("| h |\n|---|\n| 1 |\n| 2 |\n| 3 |\n| 4 |"), 500,
                                Theme::gitHub());
    const TableGridItem &grid = onlyGrid(*layout);
    const QColor white(Qt::white), grey = QColor::fromRgba(0xFFF7F7F9);
    const QList<QColor> expected{white, white, grey, white, grey};
    for (int row = 0; row < 5; ++row)
        EXPECT_EQ(grid.cellBackground(row, 0), expected[row]) << row;
    QList<const SelectableText *> cells = texts(grid);
    ASSERT_EQ(cells.size(), 5);
    const auto weightOf = [](const SelectableText *text) {
        return static_cast<const TextItem *>(text)->attributedText().formats.first()
            .format.font().weight();
    };
    EXPECT_EQ(weightOf(cells[0]), QFont::DemiBold);
    EXPECT_EQ(weightOf(cells[1]), QFont::Normal);
    // Border lines are in the theme's border colour; every line falls into a gap.
    EXPECT_EQ(grid.borderRectangles().size(), 4 + 0 + 1);

    const auto dark = laidOut(QStringLiteral("| h |\n|---|\n| 1 |\n| 2 |"), 500,
                              Theme::gitHub(), ColorScheme::dark);
    EXPECT_EQ(onlyGrid(*dark).cellBackground(2, 0), QColor::fromRgba(0xFF25262A));
}

TEST(TableView, documentationTablesHaveHorizontalRulesOnly)
{
    const auto layout =
        laidOut(QStringLiteral("| a | b |\n|---|---|\n| 1 | 2 |"), 500, Theme::documentation());
    const TableGridItem &grid = onlyGrid(*layout);
    for (const QRectF &rect : grid.borderRectangles())
        EXPECT_EQ(rect.height(), 1) << "a vertical line";
    EXPECT_EQ(grid.cellBackground(1, 0).alpha(), 0);
}

// As the detail pane shows files: the GitHub theme with selection; a cell's text selects and
// copies like any other text.
TEST(TableView, cellTextSelectsAndCopiesInTheGitHubTheme)
{
    MarkdownView view;
    view.resize(600, 300);
    view.show();
    view.setTheme(Theme::gitHub());
    view.setTextSelectionEnabled(true);
    view.setContent(MarkdownContent(QStringLiteral("| Name | Value |\n|---|--:|\n"
                                                   "| alpha | copy this |")));
    const auto texts = placedOfType<TextItem>(*view.documentLayout());
    const auto cell = std::find_if(texts.begin(), texts.end(), [](const auto &placed) {
        return placed.first->text() == QStringLiteral("copy this");
    });
    ASSERT_NE(cell, texts.end());
    const auto &[text, origin] = *cell;
    const QPoint start = (origin + QPointF(1, text->size().height() / 2)).toPoint();
    const QPoint end =
        (origin + QPointF(text->size().width() - 1, text->size().height() / 2)).toPoint();
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, start);
    QMouseEvent move(QEvent::MouseMove, end, view.viewport()->mapToGlobal(end), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(view.viewport(), &move);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, end);
    EXPECT_EQ(text->selectedText(), QStringLiteral("copy this"));
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("copy this"));
}
