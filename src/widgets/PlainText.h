#pragma once

#include <QString>

namespace tolvaran {

// Text from outside (chat titles, paths, names) shown as a tooltip, or wherever Qt reads text
// that looks like markup as rich text (a message box's informative text): such a text is
// escaped inside an explicit rich-text wrapper that keeps its spaces and line breaks; any
// other text is left as it is. Either way the user reads the characters as they were typed.
QString plainToolTip(const QString &text);

// Text from outside as a menu item's or button's title: a single "&" would otherwise become
// a shortcut marker and vanish.
QString plainMenuText(const QString &text);

} // namespace tolvaran
