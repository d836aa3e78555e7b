#pragma once

#include "markdown/nodes/BlockNode.h"
#include "markdown_view/theme/Color.h"

#include <QList>
#include <QString>

namespace tolvaran::markdown {

// Whether an image source shows under `scheme`: a source whose fragment is
// "gh-dark-mode-only" shows only in the dark scheme, "gh-light-mode-only" only in the light
// one (in any letter case); any other source shows in both. A source that is not a valid URL
// shows in neither.
bool imageSourceMatches(const QString &source, ColorScheme scheme);

// The blocks without the images (at any depth) that do not show under `scheme`. Blocks are
// never removed: a paragraph that held only such an image stays, empty. Unchanged (and not
// copied) when no image needs to go.
QList<BlockNode> filterImagesMatching(const QList<BlockNode> &blocks, ColorScheme scheme);

} // namespace tolvaran::markdown
