#include "markdown_view/theme/TableBorderSelector.h"

namespace tolvaran::markdown {

namespace {

QList<QRectF> insideHorizontal(const TableBounds &table, qreal width)
{
    QList<QRectF> result;
    for (qsizetype row = 0; row + 1 < table.rows.size(); ++row) {
        QRectF united;
        for (qsizetype column = 0; column < table.columns.size(); ++column)
            united = united.united(table.cell(row, column));
        if (table.columns.isEmpty())
            united = QRectF(table.bounds.left(), table.rows[row].minY, 0, table.rows[row].height);
        united.adjust(-width, -width, width, width);
        result.append(QRectF(united.left(), united.bottom() - width, united.width(), width));
    }
    return result;
}

QList<QRectF> insideVertical(const TableBounds &table, qreal width)
{
    QList<QRectF> result;
    for (qsizetype column = 0; column + 1 < table.columns.size(); ++column) {
        QRectF united;
        for (qsizetype row = 0; row < table.rows.size(); ++row)
            united = united.united(table.cell(row, column));
        if (table.rows.isEmpty()) {
            united = QRectF(table.columns[column].minX, table.bounds.top(),
                            table.columns[column].width, 0);
        }
        united.adjust(-width, -width, width, width);
        result.append(QRectF(united.right() - width, united.top(), width, united.height()));
    }
    return result;
}

} // namespace

TableBorderSelector TableBorderSelector::insideHorizontalBorders()
{
    return {insideHorizontal};
}

TableBorderSelector TableBorderSelector::insideVerticalBorders()
{
    return {insideVertical};
}

TableBorderSelector TableBorderSelector::insideBorders()
{
    return {[](const TableBounds &table, qreal width) {
        return insideHorizontal(table, width) + insideVertical(table, width);
    }};
}

TableBorderSelector TableBorderSelector::outsideBorders()
{
    return {[](const TableBounds &table, qreal) { return QList<QRectF>{table.bounds}; }};
}

TableBorderSelector TableBorderSelector::allBorders()
{
    return {[](const TableBounds &table, qreal width) {
        return insideHorizontal(table, width) + insideVertical(table, width)
               + QList<QRectF>{table.bounds};
    }};
}

TableBorderSelector TableBorderSelector::horizontalBorders()
{
    return {[](const TableBounds &table, qreal width) {
        const QRectF &bounds = table.bounds;
        return QList<QRectF>{QRectF(bounds.left(), bounds.top(), bounds.width(), width),
                             QRectF(bounds.left(), bounds.bottom() - width, bounds.width(),
                                    width)}
               + insideHorizontal(table, width);
    }};
}

} // namespace tolvaran::markdown
