#pragma once

#include "markdown/nodes/InlineNode.h"
#include "markdown/raw/RawImageData.h"
#include "markdown_view/View.h"

#include <QList>

#include <optional>

namespace tolvaran::markdown {

// A run of inline content made only of images (linked or not) and breaks, as block images
// side by side that wrap like words, a quarter rem apart, the row through the theme's image
// style; a hard line break starts a new
// row; soft breaks and blank text are skipped. None when anything else is there (text,
// code, emphasis, a link around more than one image). This is how a README's row of badges
// shows. None too for content without images.
std::optional<View> imageFlow(const QList<InlineNode> &content);

// What such a row shows, in order (none standing for a line break); none where imageFlow
// makes no row.
std::optional<QList<std::optional<RawImageData>>>
imageFlowItems(const QList<InlineNode> &content);

} // namespace tolvaran::markdown
