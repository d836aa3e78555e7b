#include "widgets/AccessibleRole.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>
#include <QFocusEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPersistentModelIndex>
#include <QVariant>

#include <algorithm>

namespace tolvaran::AccessibleRole {

namespace {

constexpr char roleProperty[] = "tolvaranAccessibleRole";
// A table cell's place as marked; a column header's row is headerRow.
constexpr char rowProperty[] = "tolvaranTableRow";
constexpr char columnProperty[] = "tolvaranTableColumn";
constexpr int headerRow = -1;

class TabInterface final : public QAccessibleWidget
{
public:
    explicit TabInterface(QAbstractButton *button)
        : QAccessibleWidget(button, QAccessible::PageTab)
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        QString text = QAccessibleWidget::text(kind);
        if (kind == QAccessible::Name && text.isEmpty())
            text = button()->text().remove(QLatin1Char('&'));
        return text;
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.selectable = true;
        state.selected = button()->isChecked();
        return state;
    }

    QStringList actionNames() const override
    {
        return QStringList(pressAction()) + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &action) override
    {
        if (action == pressAction())
            button()->click();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QAbstractButton *button() const { return static_cast<QAbstractButton *>(widget()); }
};

int placeOf(const QWidget *widget, const char *property)
{
    return widget->property(property).toInt();
}

// A cell's row as assistive technology reads it: the header row is row 0, since the desktop's
// bridge takes a child's row as its index (the headers first) divided by the columns.
int rowOf(const QWidget *cell)
{
    return placeOf(cell, rowProperty) - headerRow;
}

// The cells of `table` (its marked direct children), the headers first, then row by row.
QList<QWidget *> cellsOf(const QWidget *table)
{
    QList<QWidget *> cells;
    for (QWidget *child : table->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (child->property(rowProperty).isValid())
            cells.append(child);
    }
    std::sort(cells.begin(), cells.end(), [](const QWidget *a, const QWidget *b) {
        return std::pair(placeOf(a, rowProperty), placeOf(a, columnProperty))
               < std::pair(placeOf(b, rowProperty), placeOf(b, columnProperty));
    });
    return cells;
}

QWidget *cellAtPlace(const QWidget *table, int row, int column)
{
    for (QWidget *cell : cellsOf(table)) {
        if (placeOf(cell, rowProperty) == row && placeOf(cell, columnProperty) == column)
            return cell;
    }
    return nullptr;
}

class TableInterface final : public QAccessibleWidget, public QAccessibleTableInterface
{
public:
    explicit TableInterface(QWidget *table)
        : QAccessibleWidget(table, QAccessible::Table)
    {
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        // A table without cells has none to answer the bridge with.
        if (type == QAccessible::TableInterface)
            return childCount() > 0 ? static_cast<QAccessibleTableInterface *>(this) : nullptr;
        return QAccessibleWidget::interface_cast(type);
    }

    int childCount() const override { return int(cellsOf(widget()).size()); }
    QAccessibleInterface *child(int index) const override
    {
        const QList<QWidget *> cells = cellsOf(widget());
        return index >= 0 && index < cells.size()
                   ? QAccessible::queryAccessibleInterface(cells.at(index))
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child ? int(cellsOf(widget()).indexOf(child->object())) : -1;
    }

    QAccessibleInterface *caption() const override { return nullptr; }
    QAccessibleInterface *summary() const override { return nullptr; }
    QAccessibleInterface *cellAt(int row, int column) const override
    {
        // The desktop's bridge uses the cell it asks for here without looking, whatever row
        // and column a reader sends: a place outside the table, or a gap in it, answers with
        // the nearest cell before it in reading order.
        const QList<QWidget *> cells = cellsOf(widget());
        if (cells.isEmpty())
            return nullptr;
        const auto place = std::pair(std::clamp(row, 0, rowCount() - 1),
                                     std::clamp(column, 0, columnCount() - 1));
        QWidget *nearest = cells.first();
        for (QWidget *cell : cells) {
            if (std::pair(rowOf(cell), placeOf(cell, columnProperty)) <= place)
                nearest = cell;
        }
        return QAccessible::queryAccessibleInterface(nearest);
    }
    QString columnDescription(int column) const override
    {
        QAccessibleInterface *header = QAccessible::queryAccessibleInterface(
            cellAtPlace(widget(), headerRow, column));
        return header ? header->text(QAccessible::Name) : QString();
    }
    QString rowDescription(int) const override { return QString(); }
    int columnCount() const override
    {
        int count = 0;
        for (const QWidget *cell : cellsOf(widget()))
            count = std::max(count, placeOf(cell, columnProperty) + 1);
        return count;
    }
    int rowCount() const override
    {
        const QList<QWidget *> cells = cellsOf(widget());
        return cells.isEmpty() ? 0 : rowOf(cells.last()) + 1;
    }

    // Nothing of the table is selectable.
    int selectedCellCount() const override { return 0; }
    QList<QAccessibleInterface *> selectedCells() const override { return {}; }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 0; }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int) const override { return false; }
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent *) override {}
};

class CellInterface final : public QAccessibleWidget, public QAccessibleTableCellInterface
{
public:
    CellInterface(QWidget *cell, QAccessible::Role role)
        : QAccessibleWidget(cell, role)
    {
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableCellInterface)
            return static_cast<QAccessibleTableCellInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override
    {
        QString text = QAccessibleWidget::text(kind);
        if (kind == QAccessible::Name && text.isEmpty()) {
            if (const auto *label = qobject_cast<const QLabel *>(widget()))
                text = label->text();
        }
        return text;
    }

    bool isSelected() const override { return false; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    int columnIndex() const override { return placeOf(widget(), columnProperty); }
    int rowIndex() const override { return rowOf(widget()); }
    // A header heads its own column too: the bridge asks row 0 for a column's header.
    QList<QAccessibleInterface *> columnHeaderCells() const override
    {
        const QWidget *table = widget()->parentWidget();
        QWidget *header = table ? cellAtPlace(table, headerRow, columnIndex()) : nullptr;
        if (!header)
            return {};
        return {QAccessible::queryAccessibleInterface(header)};
    }
    QList<QAccessibleInterface *> rowHeaderCells() const override { return {}; }
    QAccessibleInterface *table() const override
    {
        return QAccessible::queryAccessibleInterface(widget()->parentWidget());
    }
};

QAccessibleInterface *interfaceFor(const QString &, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    const QVariant role = object->property(roleProperty);
    if (!role.isValid())
        return nullptr;
    auto *widget = static_cast<QWidget *>(object);
    switch (role.toInt()) {
    case QAccessible::PageTab:
        return new TabInterface(static_cast<QAbstractButton *>(widget));
    case QAccessible::Table:
        return new TableInterface(widget);
    case QAccessible::Cell:
    case QAccessible::ColumnHeader:
        return new CellInterface(widget, QAccessible::Role(role.toInt()));
    default:
        return new QAccessibleWidget(widget, QAccessible::Role(role.toInt()));
    }
}

void mark(QWidget *widget, QAccessible::Role role)
{
    // Installed once; the factories installed last are asked first, so ours comes before Qt's
    // own for the widgets that carry the property.
    static const bool installed = [] {
        QAccessible::installFactory(interfaceFor);
        return true;
    }();
    Q_UNUSED(installed);
    widget->setProperty(roleProperty, int(role));
    // Qt may have made the widget's interface already (a button's, as it was built); it is
    // cached for the widget's life, so it is dropped for ours to be made at the next query.
    if (QAccessibleInterface *made = QAccessible::queryAccessibleInterface(widget)) {
        if (made->role() != role)
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
    }
}

} // namespace

void markAsTab(QAbstractButton *button)
{
    mark(button, QAccessible::PageTab);
    QObject::connect(button, &QAbstractButton::toggled, button, [button] {
        QAccessible::State changed;
        changed.selected = true;
        QAccessibleStateChangeEvent event(button, changed);
        QAccessible::updateAccessibility(&event);
    });
}

void markAsTabList(QWidget *bar)
{
    mark(bar, QAccessible::PageTabList);
}

void markAsTable(QWidget *table)
{
    mark(table, QAccessible::Table);
}

void markAsColumnHeader(QWidget *header, int column)
{
    header->setProperty(rowProperty, headerRow);
    header->setProperty(columnProperty, column);
    mark(header, QAccessible::ColumnHeader);
}

void markAsCell(QWidget *cell, int row, int column)
{
    cell->setProperty(rowProperty, row);
    cell->setProperty(columnProperty, column);
    mark(cell, QAccessible::Cell);
}

namespace {

// Sets the view's current item aside while the focus is elsewhere (see
// keepCurrentItemOnlyWhileFocused).
class CurrentItemKeeper final : public QObject
{
public:
    explicit CurrentItemKeeper(QAbstractItemView *view)
        : QObject(view)
        , m_view(view)
    {
        view->installEventFilter(this);
        // The view's owner may choose an item while the focus is elsewhere (a selection shown
        // by its current item); it is set aside once that change is done.
        connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this,
                [this](const QModelIndex &current) {
                    if (current.isValid() && !m_view->hasFocus()) {
                        QMetaObject::invokeMethod(this, &CurrentItemKeeper::setAside,
                                                  Qt::QueuedConnection);
                    }
                });
        setAside();
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::FocusIn)
            putBack();
        // A menu of the view may act on its current item.
        else if (event->type() == QEvent::FocusOut
                 && static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason)
            setAside();
        return false;
    }

private:
    void setAside()
    {
        QItemSelectionModel *selection = m_view->selectionModel();
        if (m_view->hasFocus() || !selection->currentIndex().isValid())
            return;
        m_setAside = selection->currentIndex();
        const QSignalBlocker quiet(selection);
        selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }

    void putBack()
    {
        QItemSelectionModel *selection = m_view->selectionModel();
        if (!m_setAside.isValid() || selection->currentIndex().isValid())
            return;
        const QSignalBlocker quiet(selection);
        selection->setCurrentIndex(m_setAside, QItemSelectionModel::NoUpdate);
        m_setAside = QPersistentModelIndex();
    }

    QAbstractItemView *m_view;
    QPersistentModelIndex m_setAside;
};

} // namespace

void keepCurrentItemOnlyWhileFocused(QAbstractItemView *view)
{
    new CurrentItemKeeper(view);
}

} // namespace tolvaran::AccessibleRole
