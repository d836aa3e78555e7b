#pragma once

#include <QList>

class QWidget;

namespace tolvaran {

// Tab and Backtab in reading order. Qt's own chain follows the order in which widgets were
// made, which neither the browser's layout nor its recycled cards keep.
namespace ReadingOrderFocus {

// The widgets in `region` (itself included) that Tab stops at and that show it: shown,
// enabled, taking focus from Tab and not a scrolling area (which draws no focus of its own);
// of an exclusive button group only the checked button.
// In reading order: row by row from the top (widgets whose vertical spans meet form a row),
// left to right within a row; the stops inside a scrolling area are read together where the
// area stands, in the order of its content however far it is scrolled.
QList<QWidget *> stops(QWidget *region);

// Gives focus to the stop after (or before) the one holding `current`, wrapping at the ends.
// False when `chain` is empty.
bool moveFocus(const QList<QWidget *> &chain, QWidget *current, bool next);

} // namespace ReadingOrderFocus

} // namespace tolvaran
