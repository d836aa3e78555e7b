#include "markdown_view/BlockViews.h"

#include "markdown_view/items/CodeTextItem.h"
#include "markdown_view/items/ImageFlow.h"
#include "markdown_view/items/ImageView.h"
#include "markdown_view/items/InlineText.h"
#include "markdown_view/items/ListItemLayout.h"
#include "markdown_view/items/TableView.h"
#include "markdown_view/theme/Theme.h"

namespace tolvaran::markdown {

namespace {

QString withoutFinalLineBreak(const QString &text)
{
    return text.endsWith(QLatin1Char('\n')) ? text.chopped(1) : text;
}

MarkdownContent oneBlock(BlockNode block)
{
    return MarkdownContent(QList<BlockNode>{std::move(block)});
}

// The items of a list with the level and tightness their list sets for everything inside.
View listItems(QList<View> rows, bool isTight)
{
    return [rows = std::move(rows), isTight](const StyleContext &context) {
        StyleContext inner = context;
        inner.listLevel = context.listLevel + 1;
        inner.tightSpacingEnabled = isTight;
        std::vector<BlockItemPointer> items;
        items.reserve(std::size_t(rows.size()));
        for (const View &row : rows)
            items.push_back(row(inner));
        return BlockItemPointer(std::make_unique<SequenceItem>(std::move(items), isTight));
    };
}

// One item: the marker built by `marker` beside the item's blocks, through the theme's
// list item style.
View listItem(std::function<View(const StyleContext &)> marker, QList<BlockNode> children,
              std::shared_ptr<MarkerColumn> column)
{
    return [marker = std::move(marker), children = std::move(children),
            column](const StyleContext &context) {
        const View title = blockSequence(children);
        const View label = [&](const StyleContext &labelContext) {
            BlockItemPointer markerItem = marker(labelContext)(labelContext);
            return BlockItemPointer(std::make_unique<ListRowItem>(
                std::move(markerItem), title(labelContext), column));
        };
        const BlockConfiguration configuration{label, MarkdownContent(children)};
        return context.currentTheme().listItem(configuration)(context);
    };
}

View applyList(View label, BlockNode block)
{
    return [label = std::move(label), block = std::move(block)](const StyleContext &context) {
        return context.currentTheme().list(BlockConfiguration{label, oneBlock(block)})(context);
    };
}

} // namespace

View blockView(const BlockNode &block)
{
    return std::visit(
        [&](const auto &node) -> View {
            using Case = std::decay_t<decltype(node)>;
            if constexpr (std::is_same_v<Case, BlockNode::Blockquote>)
                return blockquoteView(node.children);
            else if constexpr (std::is_same_v<Case, BlockNode::BulletedList>)
                return bulletedListView(node.isTight, node.items);
            else if constexpr (std::is_same_v<Case, BlockNode::NumberedList>)
                return numberedListView(node.isTight, node.start, node.items);
            else if constexpr (std::is_same_v<Case, BlockNode::TaskList>)
                return taskListView(node.isTight, node.items);
            else if constexpr (std::is_same_v<Case, BlockNode::CodeBlock>)
                return codeBlockView(node.fenceInfo, withoutFinalLineBreak(node.content));
            else if constexpr (std::is_same_v<Case, BlockNode::HtmlBlock>)
                // Raw HTML shows as its source text, never interpreted.
                return paragraphView({InlineNode::Text{withoutFinalLineBreak(node.content)}});
            else if constexpr (std::is_same_v<Case, BlockNode::Paragraph>)
                return paragraphView(node.content);
            else if constexpr (std::is_same_v<Case, BlockNode::Heading>)
                return headingView(node.level, node.content);
            else if constexpr (std::is_same_v<Case, BlockNode::Table>)
                return tableView(node.columnAlignments, node.rows);
            else
                return thematicBreakView();
        },
        block.value);
}

View blockSequence(QList<View> elements)
{
    return [elements = std::move(elements)](const StyleContext &context) {
        std::vector<BlockItemPointer> items;
        items.reserve(std::size_t(elements.size()));
        for (const View &element : elements)
            items.push_back(element(context));
        return BlockItemPointer(
            std::make_unique<SequenceItem>(std::move(items), context.tightSpacingEnabled));
    };
}

View blockSequence(const QList<BlockNode> &blocks)
{
    QList<View> elements;
    elements.reserve(blocks.size());
    for (const BlockNode &block : blocks)
        elements.append(blockView(block));
    return blockSequence(std::move(elements));
}

View paragraphView(const QList<InlineNode> &content)
{
    return [content](const StyleContext &context) {
        View label;
        if (std::optional<View> image = imageView(content))
            label = *image;
        else if (std::optional<View> flow = imageFlow(content))
            label = *flow;
        else
            label = inlineText(content);
        const BlockConfiguration configuration{label, oneBlock(BlockNode::Paragraph{content})};
        return context.currentTheme().paragraph(configuration)(context);
    };
}

View headingView(int level, const QList<InlineNode> &content)
{
    return [level, content](const StyleContext &context) {
        const BlockConfiguration configuration{inlineText(content),
                                               oneBlock(BlockNode::Heading{level, content})};
        return context.currentTheme().heading(level)(configuration)(context);
    };
}

View blockquoteView(const QList<BlockNode> &children)
{
    return [children](const StyleContext &context) {
        const BlockConfiguration configuration{blockSequence(children),
                                               oneBlock(BlockNode::Blockquote{children})};
        return context.currentTheme().blockquote(configuration)(context);
    };
}

View thematicBreakView()
{
    return [](const StyleContext &context) {
        return context.currentTheme().thematicBreak(EmptyConfiguration{})(context);
    };
}

View codeBlockView(const std::optional<QString> &fenceInfo, const QString &content)
{
    return [fenceInfo, content](const StyleContext &context) {
        const CodeBlockConfiguration configuration{fenceInfo, content,
                                                   codeText(content, fenceInfo)};
        return context.currentTheme().codeBlock(configuration)(context);
    };
}

View bulletedListView(bool isTight, const QList<RawListItem> &items)
{
    QList<View> rows;
    for (qsizetype index = 0; index < items.size(); ++index) {
        const int number = int(index) + 1;
        rows.append(listItem(
            [number](const StyleContext &context) {
                return context.currentTheme().bulletedListMarker(
                    {context.listLevel, number});
            },
            items[index].children, nullptr));
    }
    return applyList(listItems(std::move(rows), isTight), BlockNode::BulletedList{isTight, items});
}

View numberedListView(bool isTight, int start, const QList<RawListItem> &items)
{
    const View label = [isTight, start, items](const StyleContext &context) {
        auto column = std::make_shared<MarkerColumn>();
        QList<View> rows;
        for (qsizetype index = 0; index < items.size(); ++index) {
            // Numbers past the largest int (a list may start at 999,999,999) stay there.
            const int number = int(std::min<qint64>(qint64(start) + index,
                                                    std::numeric_limits<int>::max()));
            rows.append(listItem(
                [number](const StyleContext &itemContext) {
                    return itemContext.currentTheme().numberedListMarker(
                        {itemContext.listLevel, number});
                },
                items[index].children, column));
        }
        return BlockItemPointer(std::make_unique<MarkerColumnItem>(
            listItems(std::move(rows), isTight)(context), column));
    };
    return applyList(label, BlockNode::NumberedList{isTight, start, items});
}

View taskListView(bool isTight, const QList<RawTaskListItem> &items)
{
    QList<View> rows;
    for (const RawTaskListItem &item : items) {
        const bool completed = item.isCompleted;
        rows.append(listItem(
            [completed](const StyleContext &context) {
                return context.currentTheme().taskListMarker({completed});
            },
            item.children, nullptr));
    }
    return applyList(listItems(std::move(rows), isTight), BlockNode::TaskList{isTight, items});
}

} // namespace tolvaran::markdown
