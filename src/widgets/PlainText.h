#pragma once

#include <QString>

class QWidget;

namespace tolvaran {

// Text from outside (chat titles, paths, names) shown as a tooltip, or wherever Qt reads text
// that looks like markup as rich text (a message box's informative text): such a text is
// escaped inside an explicit rich-text wrapper that keeps its spaces and line breaks; any
// other text is left as it is. Either way the user reads the characters as they were typed.
QString plainToolTip(const QString &text);

// Gives `widget` the tooltip plainToolTip(text) and, as its accessible description, `text`
// itself; an empty text clears both. Without a description Qt hands assistive technology the
// tooltip, which a reader then hears with its escapes and its wrapper. A description the widget
// was given elsewhere, before or since, is its own and stays; the tooltip changes alone then.
// A widget given a tooltip here takes every later one here too, or its description goes stale.
void setPlainToolTip(QWidget *widget, const QString &text);

// Text from outside as a menu item's or button's title: a single "&" would otherwise become
// a shortcut marker and vanish.
QString plainMenuText(const QString &text);

} // namespace tolvaran
