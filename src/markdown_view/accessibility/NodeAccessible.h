#pragma once

#include "markdown_view/accessibility/AccessibleDocument.h"
#include "markdown_view/accessibility/ReadOnlyText.h"

#include <QAccessible>

namespace tolvaran::markdown {

class DocumentAccessible;

// The interface of one node of a document (see DocumentAccessible), with no object of its own.
// Text blocks answer the text interface, links the action interface (pressing one follows it
// where it opens), tables that hold cells the table interface and their cells (the header's
// among them) the table cell interface; a heading's description is its level.
class NodeAccessible final : public QAccessibleInterface,
                             public ReadOnlyText,
                             public QAccessibleActionInterface,
                             public QAccessibleTableInterface,
                             public QAccessibleTableCellInterface
{
public:
    NodeAccessible(const DocumentAccessible &document, const AccessibleNode &node);

    const AccessibleNode &node() const { return m_node; }

    bool isValid() const override { return true; } // gone with its document
    QObject *object() const override { return nullptr; }
    QWindow *window() const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QAccessibleInterface *parent() const override;
    QAccessibleInterface *child(int index) const override;
    int childCount() const override { return int(m_node.children.size()); }
    int indexOfChild(const QAccessibleInterface *child) const override;
    using ReadOnlyText::text;
    QString text(QAccessible::Text type) const override;
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return m_node.role; }
    QAccessible::State state() const override;
    void *interface_cast(QAccessible::InterfaceType type) override;

    // Actions.
    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

    // A table's cells by row and column, the header row being row 0 (its cells describe the
    // columns). The desktop's bridge uses the cell it asks for without looking, whatever row
    // and column a reader sends: one outside the table answers with the nearest cell. Nothing
    // can be selected.
    QAccessibleInterface *caption() const override { return nullptr; }
    QAccessibleInterface *summary() const override { return nullptr; }
    QAccessibleInterface *cellAt(int row, int column) const override;
    int selectedCellCount() const override { return 0; }
    QList<QAccessibleInterface *> selectedCells() const override { return {}; }
    QString columnDescription(int column) const override;
    QString rowDescription(int) const override { return {}; }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 0; }
    int columnCount() const override { return m_node.columnCount; }
    int rowCount() const override { return m_node.rowCount; }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int) const override { return false; }
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent *) override {}

    // A cell: its place and its column's header, which heads its own column too (the bridge
    // asks row 0 for a column's header).
    bool isSelected() const override { return false; }
    QList<QAccessibleInterface *> columnHeaderCells() const override;
    QList<QAccessibleInterface *> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return m_node.column; }
    int rowIndex() const override { return m_node.row; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface *table() const override { return parent(); }

protected:
    QString readText() const override { return m_node.text; }
    QRect textRect(int) const override { return rect(); }
    void showText(int) override;

private:
    bool isCell() const;

    const DocumentAccessible &m_document;
    const AccessibleNode &m_node;
};

} // namespace tolvaran::markdown
