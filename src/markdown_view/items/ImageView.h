#pragma once

#include "markdown/nodes/InlineNode.h"
#include "markdown/raw/RawImageData.h"
#include "markdown_view/View.h"

#include <QList>

#include <optional>

namespace tolvaran::markdown {

// The view of one block image: its source resolved against the image base URL, drawn by the
// context's image provider, named by its alternative text, opening its link (resolved
// against the base URL) when it is a linked image, all through the theme's image style.
View imageView(const RawImageData &data);
// The same image without the theme's image style (an image of a row of images, whose row
// as a whole takes the style).
View imageLabel(const RawImageData &data);

// The view of a paragraph that is one image (or one linked image); none for any other
// content.
std::optional<View> imageView(const QList<InlineNode> &content);

// An image source resolved against the image base URL; none when it does not form a URL.
std::optional<QUrl> resolvedImageSource(const QString &source,
                                        const std::optional<QUrl> &imageBaseURL);

} // namespace tolvaran::markdown
