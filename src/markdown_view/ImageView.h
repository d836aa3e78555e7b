#pragma once

#include "markdown/InlineNode.h"
#include "markdown_view/View.h"

#include <QList>

#include <optional>

namespace tolvaran::markdown {

// The view of a paragraph that is one image (or one linked image): none for any other
// content. Until image providers come, the image shows as its alternative text, which is
// also its accessible name.
std::optional<View> imageView(const QList<InlineNode> &content);

} // namespace tolvaran::markdown
