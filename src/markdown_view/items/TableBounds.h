#pragma once

#include <QList>
#include <QRectF>

namespace tolvaran::markdown {

// The measured geometry of one laid-out table, in the table's own coordinates: the decorated
// area (the grid with its padding) and the top and height of each row, the left edge and
// width of each column. A cell's rectangle is its row's and column's, whatever its content.
struct TableBounds
{
    struct Row
    {
        qreal minY = 0;
        qreal height = 0;
        friend bool operator==(const Row &, const Row &) = default;
    };
    struct Column
    {
        qreal minX = 0;
        qreal width = 0;
        friend bool operator==(const Column &, const Column &) = default;
    };

    QRectF bounds;
    QList<Row> rows;
    QList<Column> columns;

    QRectF cell(qsizetype row, qsizetype column) const
    {
        return {columns[column].minX, rows[row].minY, columns[column].width, rows[row].height};
    }

    friend bool operator==(const TableBounds &, const TableBounds &) = default;
};

} // namespace tolvaran::markdown
