#pragma once

#include <QStringList>

class QAccessibleInterface;

namespace tolvaran::fixtures {

// The table calls of the desktop's accessibility bridge (Qt's AT-SPI adaptor), made as it
// makes them on `table` for every child index and every row and column from -1 to one past
// the last: GetRowAtIndex and GetColumnAtIndex read the child's cell interface (a column
// header's, by its role, is no row and its index); GetRowColumnExtentsAtIndex takes
// cellAt(index / columns, index % columns), GetRowExtentAt, GetColumnExtentAt, IsSelected and
// GetRowHeader cellAt(row, column), and use what they get without looking; GetColumnHeader
// asks cellAt(0, column) for its header cells. Says, a sentence each, where a call would end
// the program, where a child's extents disagree with GetRowAtIndex and GetColumnAtIndex, and
// where a column's header answers nothing.
QStringList desktopBridgeFaults(QAccessibleInterface *table);

} // namespace tolvaran::fixtures
