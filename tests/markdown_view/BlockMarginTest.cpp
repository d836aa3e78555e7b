#include "markdown/MarkdownParser.h"
#include "markdown_view/items/BlockItem.h"
#include "markdown_view/DocumentLayout.h"
#include "markdown_view/MarkdownView.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace tolvaran::markdown;

namespace {

// A block of a fixed height that reports fixed margins.
class FixedBlock final : public BlockItem
{
public:
    FixedBlock(qreal height, BlockMargin margin)
        : m_height(height)
        , m_margin(margin)
    {
    }
    BlockMargin margins() const override { return m_margin; }

protected:
    QSizeF doLayout(qreal width) override { return {width, m_height}; }

private:
    qreal m_height;
    BlockMargin m_margin;
};

BlockItemPointer block(BlockMargin margin)
{
    return std::make_unique<FixedBlock>(10, margin);
}

// The tops of a run of two blocks.
qreal secondTop(BlockMargin upper, BlockMargin lower, bool tight)
{
    std::vector<BlockItemPointer> blocks;
    blocks.push_back(block(upper));
    blocks.push_back(block(lower));
    SequenceItem sequence(std::move(blocks), tight);
    sequence.layout(100);
    EXPECT_EQ(sequence.children()[0].position.y(), 0);
    return sequence.children()[1].position.y() - 10;
}

} // namespace

TEST(BlockMargins, collapseToTheLargerOfNeighbouringMargins)
{
    const struct
    {
        const char *name;
        BlockMargin upper;
        BlockMargin lower;
        bool tight;
        qreal gap;
    } rows[] = {
        {"paragraph after paragraph", {0, 16}, {0, 16}, false, 16},
        {"heading after paragraph", {0, 16}, {24, 16}, false, 24},
        {"tight: only the lower top", {0, 16}, {24, 16}, true, 24},
        {"tight without a top", {0, 16}, {std::nullopt, 16}, true, 0},
        {"no margins at all", {}, {}, false, defaultBlockSpacing},
        {"only the upper bottom", {std::nullopt, 5}, {}, false, 5},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(secondTop(row.upper, row.lower, row.tight), row.gap);
    }
}

TEST(BlockMargins, nestedModifiersAndSequencesReportTheLargest)
{
    MarginItem twice(std::make_unique<MarginItem>(block({}), BlockMargin{std::nullopt, 8}),
                     BlockMargin{std::nullopt, 12});
    EXPECT_EQ(twice.margins(), (BlockMargin{std::nullopt, 12}));

    std::vector<BlockItemPointer> blocks;
    blocks.push_back(block({4, 20}));
    blocks.push_back(block({30, std::nullopt}));
    const SequenceItem sequence(std::move(blocks), false);
    EXPECT_EQ(sequence.margins(), (BlockMargin{30, 20}));
}

// Through the default theme: paragraphs ask for 1 em below (13 pixels at the default size),
// headings 1.5 rem above; the first block starts at the top.
TEST(BlockMargins, documentBlocksAreSpacedByTheThemesMargins)
{
    const StyleContext context =
        MarkdownView::rootContext(Theme::basic(), {}, QApplication::palette());
    DocumentLayout layout(parseMarkdown("# Title\n\nFirst.\n\nSecond.\n\n## Next\n"), context);
    layout.setWidth(400);
    layout.layoutAll();
    ASSERT_EQ(layout.blockCount(), 4);
    EXPECT_EQ(layout.blockFrame(0).top(), 0);
    const auto gap = [&](qsizetype index) {
        return layout.blockFrame(index).top() - layout.blockFrame(index - 1).bottom();
    };
    EXPECT_EQ(gap(1), 13); // the heading's 1 rem below
    EXPECT_EQ(gap(2), 13); // the paragraph's 1 em below
    EXPECT_EQ(gap(3), 20); // the heading's 1.5 rem above (19.5 rounded)
    EXPECT_EQ(layout.height(), layout.blockFrame(3).bottom());
}

TEST(DocumentLayout, laysOutOnlyAsFarAsAsked)
{
    QString text;
    for (int paragraph = 0; paragraph < 500; ++paragraph)
        text += QStringLiteral("Paragraph %1.\n\n").arg(paragraph);
    const StyleContext context =
        MarkdownView::rootContext(Theme::basic(), {}, QApplication::palette());
    DocumentLayout layout(parseMarkdown(text), context);
    layout.setWidth(400);
    layout.layoutThrough(300);
    EXPECT_GT(layout.laidOutCount(), 0);
    EXPECT_LT(layout.laidOutCount(), 50);
    EXPECT_GT(layout.height(), 300);
    layout.layoutAll();
    EXPECT_TRUE(layout.isComplete());
    EXPECT_EQ(layout.height(), layout.blockFrame(499).bottom());
}

// Blocks scrolled far away drop their items, except the pinned ones; built again, they paint
// the same.
TEST(DocumentLayout, blocksPaintTheSameAfterLeavingTheView)
{
    QString text;
    for (int paragraph = 0; paragraph < 400; ++paragraph)
        text += QStringLiteral("Paragraph %1 with *some* `code` and [a link](https://x.org).\n\n")
                    .arg(paragraph);
    DocumentLayout layout(parseMarkdown(text), MarkdownView::rootContext(Theme::basic(), {},
                                                                         QApplication::palette()));
    layout.setWidth(400);
    layout.layoutAll();
    const auto paintAt = [&](qreal top) {
        QImage image(400, 300, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.translate(0, -top);
        layout.paint(painter, QApplication::palette(), QRectF(0, top, 400, 300));
        return image;
    };
    const QImage first = paintAt(0);
    const auto builtCount = [&] {
        qsizetype built = 0;
        for (qsizetype index = 0; index < layout.laidOutCount(); ++index)
            built += layout.item(index) ? 1 : 0;
        return built;
    };
    const BlockItem *pinned = layout.item(1);
    ASSERT_NE(pinned, nullptr);
    layout.setPinnedBlocks({1});
    paintAt(layout.height() - 300);
    EXPECT_EQ(layout.item(0), nullptr);
    EXPECT_EQ(layout.item(1), pinned);
    EXPECT_LT(builtCount(), 150);
    EXPECT_EQ(paintAt(0), first);
    EXPECT_NE(layout.item(0), nullptr);
}
