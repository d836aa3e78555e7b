#pragma once

#include "markdown_view/items/BlockItem.h"
#include "markdown_view/theme/FontProperties.h"
#include "markdown_view/theme/StyleContext.h"

#include <QList>

#include <functional>
#include <optional>

namespace tolvaran::markdown {

// A deferred view: builds its item for the context it is drawn in. Labels, block styles and
// themes are written with these, so a style can change the context its label is built in
// (a text style around a label applies to everything inside it).
using View = std::function<BlockItemPointer(const StyleContext &)>;

enum class Edge { top = 1, leading = 2, bottom = 4, trailing = 8 };
using Edges = int;
inline constexpr Edges allEdges = 15;
inline constexpr Edges horizontalEdges = int(Edge::leading) | int(Edge::trailing);
inline constexpr Edges verticalEdges = int(Edge::top) | int(Edge::bottom);

namespace views {

// The label with `style` appended to the text style its content is built with.
View textStyle(View label, const TextStyle &style);
// Margins the label reports to its run, at least these; relative sizes resolve against the
// font in force here.
View margin(View label, std::optional<RelativeSize> top, std::optional<RelativeSize> bottom);
View marginPoints(View label, std::optional<qreal> top, std::optional<qreal> bottom);
View padding(View label, Edges edges, RelativeSize length);
View paddingPoints(View label, Edges edges, qreal length);
// Extra space between the lines of all text inside.
View lineSpacing(View label, RelativeSize spacing);
View minimumWidth(View label, RelativeSize width, Qt::Alignment alignment);
View frame(View label, std::optional<RelativeSize> width, std::optional<RelativeSize> height,
           Qt::Alignment alignment);
View fillWidth(View label, Qt::Alignment alignment);
View background(View label, const Color &color, qreal radius = 0);
View vstack(QList<View> children);
View hstack(QList<View> children);
View divider(std::optional<Color> color = std::nullopt, qreal thickness = 1);
View horizontalScroll(View content);
// The label with a rounded bar of `width` down its leading edge, as tall as the label.
View leadingBar(View label, const Color &color, RelativeSize width, qreal radius);
// A rounded box behind the label, filled and outlined inside its bounds.
View roundedBox(View label, const Color &fill, const Color &stroke, qreal radius);
// Tables inside draw these lines and cell fills.
View tableBorderStyle(View label, const TableBorderStyle &style);
View tableBackgroundStyle(View label, const TableBackgroundStyle &style);

} // namespace views

} // namespace tolvaran::markdown
