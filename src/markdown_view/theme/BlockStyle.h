#pragma once

#include "markdown/MarkdownContent.h"
#include "markdown_view/View.h"

#include <QString>

#include <functional>
#include <optional>

namespace tolvaran::markdown {

// How a theme draws one kind of block: from the configuration its block view prepared (the
// label, a deferred view of the block's own content, and what the block stands for) to the
// view shown. Structure lives in the block views, decoration in the styles.
template <typename Configuration>
using BlockStyle = std::function<View(const Configuration &)>;

struct BlockConfiguration
{
    View label;
    MarkdownContent content; // the block itself (for list items, the item's blocks)
};

struct CodeBlockConfiguration
{
    std::optional<QString> language; // the fence's info string, whole
    QString content;                 // the code, without its final line break
    View label;                      // the highlighted code
};

struct ListMarkerConfiguration
{
    int listLevel = 1;  // 1 for the items of a top-level list
    int itemNumber = 1; // the list's start plus the item's position
};

struct TaskListMarkerConfiguration
{
    bool isCompleted = false;
};

struct TableCellConfiguration
{
    int row = 0; // row 0 is the header
    int column = 0;
    View label;
    MarkdownContent content;
};

struct EmptyConfiguration
{
};

// The style that shows the label as it is.
inline View unchangedLabel(const BlockConfiguration &configuration)
{
    return configuration.label;
}

} // namespace tolvaran::markdown
