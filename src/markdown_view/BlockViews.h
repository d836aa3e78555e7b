#pragma once

#include "markdown/nodes/BlockNode.h"
#include "markdown_view/View.h"

#include <QList>

namespace tolvaran::markdown {

// The view of one block, chosen by its case; each block view builds its label, wraps it with
// the block into its configuration and shows what the theme's style for its kind makes of
// it. A table goes to the table view (TableView.h).
View blockView(const BlockNode &block);

// A vertical run of blocks spaced by the margins they report (see gapAbove); tight inside
// a tight list.
View blockSequence(const QList<BlockNode> &blocks);
View blockSequence(QList<View> elements);

View paragraphView(const QList<InlineNode> &content);
View headingView(int level, const QList<InlineNode> &content);
View blockquoteView(const QList<BlockNode> &children);
View thematicBreakView();
View codeBlockView(const std::optional<QString> &fenceInfo, const QString &content);
View bulletedListView(bool isTight, const QList<RawListItem> &items);
View numberedListView(bool isTight, int start, const QList<RawListItem> &items);
View taskListView(bool isTight, const QList<RawTaskListItem> &items);

} // namespace tolvaran::markdown
