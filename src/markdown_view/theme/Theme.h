#pragma once

#include "markdown_view/theme/BlockStyle.h"
#include "markdown_view/theme/TextStyle.h"

#include <QList>

#include <optional>

namespace tolvaran::markdown {

// The whole look of rendered Markdown: a text style for body text and for each kind of
// inline span, a block style for each kind of block. A value: change a copy's slots to make
// another theme. Theme() draws every block bare (no margins or decoration), code spans
// monospaced, emphasis italic, strong text semibold, struck text with one line.
struct Theme
{
    Theme();

    TextStyle text;
    TextStyle code;
    TextStyle emphasis;
    TextStyle strong;
    TextStyle strikethrough;
    TextStyle link;
    QList<BlockStyle<BlockConfiguration>> headings; // levels 1 to 6, always six
    BlockStyle<BlockConfiguration> paragraph;
    BlockStyle<BlockConfiguration> blockquote;
    BlockStyle<CodeBlockConfiguration> codeBlock;
    BlockStyle<BlockConfiguration> image;
    BlockStyle<BlockConfiguration> list;
    BlockStyle<BlockConfiguration> listItem;
    BlockStyle<TaskListMarkerConfiguration> taskListMarker;
    BlockStyle<ListMarkerConfiguration> bulletedListMarker;
    BlockStyle<ListMarkerConfiguration> numberedListMarker;
    BlockStyle<BlockConfiguration> table;
    BlockStyle<TableCellConfiguration> tableCell;
    BlockStyle<EmptyConfiguration> thematicBreak;

    // The style of a heading of `level`; levels outside 1 to 6 take the nearest.
    const BlockStyle<BlockConfiguration> &heading(int level) const;

    // The background colour the `text` slot sets by itself (none when it sets none).
    std::optional<Color> textBackgroundColor() const;

    // The default theme: no colours and no base size of its own; heading sizes, monospaced
    // code, italic quotes and spacing in em and rem.
    static const Theme &basic();
    // 16-pixel text on the view's own background, a palette that follows light and dark,
    // headings with a rule under levels 1 and 2, grey rounded code boxes, quotes with a bar,
    // bordered tables with alternating rows, square check boxes.
    static const Theme &gitHub();
    // Dark-grey text and blue links, quotes as rounded aside boxes, grey rounded code boxes,
    // tables with horizontal rules only, large headings.
    static const Theme &documentation();
};

} // namespace tolvaran::markdown
