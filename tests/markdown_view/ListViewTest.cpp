#include "RenderedText.h"

#include "markdown/MarkdownParser.h"
#include "markdown_view/theme/ListMarkers.h"
#include "markdown_view/MarkdownView.h"
#include "support/QtPrinters.h"

#include <QApplication>

#include <gtest/gtest.h>

using namespace tolvaran::markdown;
using namespace tolvaran::markdown::testing;

namespace {

std::unique_ptr<DocumentLayout> laidOut(const QString &markdown,
                                        const Theme &theme = Theme::basic())
{
    auto layout = std::make_unique<DocumentLayout>(
        parseMarkdown(markdown),
        MarkdownView::rootContext(theme, {}, QApplication::palette()));
    layout->setWidth(500);
    layout->layoutAll();
    return layout;
}

// The text items of the layout with their places.
QList<std::pair<const TextItem *, QPointF>> textsOf(const DocumentLayout &layout)
{
    return placedOfType<TextItem>(layout);
}

QPointF placeOf(const DocumentLayout &layout, const QString &text)
{
    for (const auto &[item, origin] : textsOf(layout)) {
        if (item->text() == text)
            return origin;
    }
    ADD_FAILURE() << "no text " << text.toStdString();
    return {};
}

QStringList markerTexts(const DocumentLayout &layout)
{
    QStringList result;
    for (const auto &[item, origin] : textsOf(layout)) {
        if (!item->options().wraps) // markers are laid out without wrapping
            result.append(item->text());
    }
    return result;
}

} // namespace

TEST(ListMarkers, romanNumeralsUpTo3999)
{
    const struct
    {
        int number;
        const char *roman;
    } rows[] = {{4, "IV"}, {14, "XIV"}, {1994, "MCMXCIV"}, {3999, "MMMCMXCIX"},
                {4000, "4000"}, {0, "0"}, {-2, "-2"}};
    for (const auto &row : rows)
        EXPECT_EQ(romanNumeral(row.number), QString::fromUtf8(row.roman)) << row.number;
}

TEST(ListMarkers, everyMarkerStyleDrawsItsMarker)
{
    Theme theme;
    const struct
    {
        const char *name;
        BlockStyle<ListMarkerConfiguration> style;
        QStringList markers;
    } rows[] = {
        {"decimal", markers::decimal(), {"3.", "4."}},
        {"upper roman", markers::upperRoman(), {"III.", "IV."}},
        {"lower roman", markers::lowerRoman(), {"iii.", "iv."}},
        {"dash", markers::dash(), {"-", "-"}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        theme.numberedListMarker = row.style;
        EXPECT_EQ(markerTexts(*laidOut("3. a\n4. b\n", theme)), row.markers);
    }
}

TEST(ListMarkers, bulletsFollowTheLevel)
{
    const auto layout = laidOut("- 1\n  - 2\n    - 3\n      - 4\n        - 5\n");
    QList<SymbolItem::Shape> shapes;
    for (const auto &[item, origin] : placedOfType<SymbolItem>(*layout))
        shapes.append(item->shape());
    using Shape = SymbolItem::Shape;
    EXPECT_EQ(shapes, (QList<Shape>{Shape::filledCircle, Shape::circle, Shape::filledSquare,
                                    Shape::filledSquare, Shape::filledSquare}));
}

TEST(ListMarkers, orderedListsNumberFromTheirStart)
{
    EXPECT_EQ(markerTexts(*laidOut("0. a\n1. b\n2. c\n")), (QStringList{"0.", "1.", "2."}));
    EXPECT_EQ(markerTexts(*laidOut("1000000. a\n1000000. b\n")),
              (QStringList{"1000000.", "1000001."}));
}

// The markers of one numbered list share a column as wide as the widest: their right edges
// line up, and so do the texts of the items; a nested list has a column of its own.
TEST(ListMarkers, numberedMarkersShareAColumn)
{
    QString markdown;
    for (int item = 1; item <= 10; ++item)
        markdown += QStringLiteral("%1. item %1\n").arg(item);
    markdown += QStringLiteral("    1. nested\n");
    const auto layout = laidOut(markdown);
    QList<std::pair<const TextItem *, QPointF>> markers;
    for (const auto &entry : textsOf(*layout)) {
        if (!entry.first->options().wraps)
            markers.append(entry);
    }
    ASSERT_EQ(markers.size(), 11);
    const auto right = [](const std::pair<const TextItem *, QPointF> &marker) {
        return marker.second.x() + marker.first->size().width();
    };
    EXPECT_EQ(right(markers[0]), right(markers[9]));
    EXPECT_GT(markers[0].second.x(), markers[9].second.x()); // "1." sits right of "10."'s start
    EXPECT_EQ(placeOf(*layout, "item 1").x(), placeOf(*layout, "item 10").x());
    EXPECT_GT(placeOf(*layout, "nested").x(), placeOf(*layout, "item 10").x());
}

TEST(Lists, tightItemsTouchAndLooseItemsKeepTheParagraphMargin)
{
    const auto tight = laidOut("- one\n- two\n");
    const auto loose = laidOut("- one\n\n- two\n");
    const auto gap = [](const DocumentLayout &layout) {
        const auto texts = textsOf(layout);
        const auto one = std::find_if(texts.begin(), texts.end(), [](const auto &entry) {
            return entry.first->text() == "one";
        });
        return placeOf(layout, "two").y() - (one->second.y() + one->first->size().height());
    };
    EXPECT_EQ(gap(*tight), 0);
    EXPECT_EQ(gap(*loose), 13); // the paragraph's 1 em below
}

TEST(TaskLists, checkedAndOpenItemsDrawTheirBoxes)
{
    const auto layout = laidOut("- [x] done\n- [ ] open\n  - [X] nested done\n");
    QList<SymbolItem::Shape> shapes;
    QStringList names;
    for (const auto &[item, origin] : placedOfType<SymbolItem>(*layout)) {
        shapes.append(item->shape());
        names.append(item->accessibleName());
    }
    using Shape = SymbolItem::Shape;
    EXPECT_EQ(shapes, (QList<Shape>{Shape::checkedBox, Shape::emptyBox, Shape::checkedBox}));
    EXPECT_EQ(names, (QStringList{"Completed", "Not completed", "Completed"}));
    EXPECT_EQ(placeOf(*layout, "done").x(), placeOf(*layout, "open").x());
}
