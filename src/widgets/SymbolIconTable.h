#pragma once

#include <QColor>
#include <QIcon>
#include <QString>
#include <QStringList>

namespace tolvaran {

// The window names its images by symbol ("plus", "arrow.clockwise", "sidebar.left", ...).
// One table maps each symbol to icon names of the freedesktop naming scheme, looked up in
// the desktop's icon theme in order (the symbolic variant first), and to one of Qt's standard
// icons for a desktop whose theme has none of them.

// The theme names tried for `symbolName`, in order; empty for a symbol the table lacks.
QStringList themeIconNames(const QString &symbolName);

// The icon for `symbolName`: the shape of the first theme icon found, else of the standard
// icon, drawn in the application palette's text colour. A symbol the table lacks gives a null
// icon, which a caller shows as no image.
QIcon symbolIcon(const QString &symbolName);

// The same icon recoloured in `color`, keeping its shape (its alpha), at the sizes the cards
// draw; made once per symbol and colour. Null for a symbol the table lacks.
QIcon tintedSymbolIcon(const QString &symbolName, const QColor &color);

} // namespace tolvaran
