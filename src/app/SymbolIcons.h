#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

namespace tolvaran {

// The icon for one of the symbol names the card uses ("star.fill", "bell.fill", ...): the
// desktop theme's icon when it has one, else a standard icon of the style, else none.
QIcon cardSymbolIcon(const QString &symbolName);

// The same icon recoloured in `color`, keeping its shape (its alpha), at the sizes a card
// draws. Made once per symbol and colour.
QIcon tintedSymbolIcon(const QString &symbolName, const QColor &color);

} // namespace tolvaran
