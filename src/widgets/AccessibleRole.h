#pragma once

class QAbstractButton;
class QAbstractItemView;
class QWidget;

namespace tolvaran {

// Roles for assistive technology where a control of ours is drawn as something Qt's own
// accessibility does not know it to be: a row of buttons that acts as tabs reads as push
// buttons otherwise, and a grid of labels as loose labels.
namespace AccessibleRole {

// `button` is one page tab: selected while it is checked, and pressed to choose it.
void markAsTab(QAbstractButton *button);
// `bar` is the list holding such tabs.
void markAsTabList(QWidget *bar);

// `table` reads as a table of the widgets marked below among its direct children, rather than
// as a group of loose labels: its rows and columns, each cell with its column's header. Read
// so, its header row is row 0 and its first row of cells row 1.
void markAsTable(QWidget *table);
// `header` titles column `column` (from 0) of the table it is a direct child of.
void markAsColumnHeader(QWidget *header, int column);
// `cell` is the cell at `row` and `column` (from 0, the header row apart) of the table it is a
// direct child of. A label's name is its text; another widget needs an accessible name.
void markAsCell(QWidget *cell, int row, int column);

// Qt's lists report their current item as focused whether or not they hold the focus, so a
// list the user is not in, shown or hidden, reads as a second focused object beside the
// control that is. `view`'s current item is set aside while the focus is elsewhere and put
// back when it returns, without the view's signals: what the view shows and reports (its
// selection among it) stays as it was. Call it once the view has its model.
void keepCurrentItemOnlyWhileFocused(QAbstractItemView *view);

} // namespace AccessibleRole

} // namespace tolvaran
