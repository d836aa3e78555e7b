#pragma once

#include <QString>

namespace tolvaran {

// Text from outside (chat titles, paths, names) shown as a tooltip: Qt reads a tooltip that
// looks like markup as rich text, so such a text is escaped inside an explicit rich-text
// wrapper; any other text is left as it is.
QString plainToolTip(const QString &text);

// Text from outside as a menu item's or button's title: a single "&" would otherwise become
// a shortcut marker and vanish.
QString plainMenuText(const QString &text);

} // namespace tolvaran
