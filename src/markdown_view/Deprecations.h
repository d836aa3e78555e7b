#pragma once

#include "markdown_view/BlockStyle.h"
#include "markdown_view/Theme.h"

#include <functional>

namespace tolvaran::markdown::deprecated {

// Older entry points, kept so that code written against them still builds: block styles
// whose body receives only the block's label, where the current ones receive the whole
// configuration. New code writes BlockStyle functions over the configuration.

using LabelBody = std::function<View(const View &label)>;

// A block style that calls `body` with the configuration's label.
[[deprecated("write a BlockStyle over the configuration")]]
BlockStyle<BlockConfiguration> blockStyle(LabelBody body);
// A code block style that calls `body` with the code's label only (language and text are
// not passed on).
[[deprecated("write a BlockStyle over the configuration")]]
BlockStyle<CodeBlockConfiguration> codeBlockStyle(LabelBody body);

// A copy of `theme` with heading `level` (1 to 6) drawn by `body`.
[[deprecated("set Theme::headings")]]
Theme heading(const Theme &theme, int level, LabelBody body);
// A copy of `theme` with one block slot (paragraph, blockquote, image, list, listItem,
// table) drawn by `body`.
[[deprecated("set the Theme slot")]]
Theme withBlockStyle(const Theme &theme, BlockStyle<BlockConfiguration> Theme::*slot,
                     LabelBody body);
// A copy of `theme` whose code blocks are drawn by `body` around their label.
[[deprecated("set Theme::codeBlock")]]
Theme codeBlock(const Theme &theme, LabelBody body);

} // namespace tolvaran::markdown::deprecated
