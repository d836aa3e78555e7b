#include "support/widgets/DesktopBridge.h"

#include <QAccessible>

#include <optional>
#include <utility>

namespace tolvaran::fixtures {

QStringList desktopBridgeFaults(QAccessibleInterface *table)
{
    QAccessibleTableInterface *cells = table->tableInterface();
    if (!cells)
        return {QStringLiteral("no table interface")};
    QStringList faults;
    const int rows = cells->rowCount();
    const int columns = cells->columnCount();
    const auto place = [](QAccessibleInterface *cell) -> std::optional<std::pair<int, int>> {
        QAccessibleTableCellInterface *at = cell ? cell->tableCellInterface() : nullptr;
        return at ? std::optional(std::pair(at->rowIndex(), at->columnIndex())) : std::nullopt;
    };
    const auto text = [](const std::optional<std::pair<int, int>> &at) {
        return at ? QStringLiteral("(%1, %2)").arg(at->first).arg(at->second)
                  : QStringLiteral("no cell");
    };
    for (int row = -1; row <= rows; ++row) {
        for (int column = -1; column <= columns; ++column) {
            if (!place(cells->cellAt(row, column))) {
                faults << QStringLiteral("GetRowExtentAt(%1, %2) ends the program")
                              .arg(row)
                              .arg(column);
            }
        }
    }
    for (int column = 0; column < columns; ++column) {
        QAccessibleInterface *first = cells->cellAt(0, column);
        if (!first || !first->tableCellInterface()
            || first->tableCellInterface()->columnHeaderCells().isEmpty())
            faults << QStringLiteral("GetColumnHeader(%1) answers nothing").arg(column);
    }
    for (int index = -1; index <= table->childCount() && columns > 0; ++index) {
        QAccessibleInterface *cell = cells->cellAt(index / columns, index % columns);
        QAccessibleInterface *child = table->child(index);
        if (!cell) {
            faults << QStringLiteral("GetRowColumnExtentsAtIndex(%1) ends the program").arg(index);
        } else if (child && child->role() != QAccessible::ColumnHeader
                   && (!place(child) || place(cell) != place(child))) {
            faults << QStringLiteral("child %1 at %2, its extents at %3")
                          .arg(index)
                          .arg(text(place(child)), text(place(cell)));
        }
    }
    return faults;
}

} // namespace tolvaran::fixtures
