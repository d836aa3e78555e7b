#include "markdown_view/accessibility/NodeAccessible.h"

#include "markdown_view/accessibility/DocumentAccessible.h"
#include "markdown_view/MarkdownView.h"

namespace tolvaran::markdown {

namespace {

// How a heading's level reads, after its role.
QString levelDescription(int level)
{
    return QStringLiteral("Level %1").arg(level);
}

bool isTextBlock(QAccessible::Role role)
{
    return role == QAccessible::Paragraph || role == QAccessible::Heading
           || role == QAccessible::Cell || role == QAccessible::ColumnHeader;
}

} // namespace

NodeAccessible::NodeAccessible(const DocumentAccessible &document, const AccessibleNode &node)
    : m_document(document)
    , m_node(node)
{
}

QWindow *NodeAccessible::window() const
{
    return m_document.window();
}

QAccessibleInterface *NodeAccessible::parent() const
{
    if (!m_node.parent || !m_node.parent->parent)
        return const_cast<DocumentAccessible *>(&m_document);
    return m_document.nodeInterface(*m_node.parent);
}

QAccessibleInterface *NodeAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    return m_document.nodeInterface(m_node.children[std::size_t(index)]);
}

int NodeAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    const auto *node = dynamic_cast<const NodeAccessible *>(child);
    if (!node || node->m_node.parent != &m_node)
        return -1;
    return int(&node->m_node - m_node.children.data());
}

QAccessibleInterface *NodeAccessible::childAt(int x, int y) const
{
    for (const AccessibleNode &node : m_node.children) {
        if (m_document.screenRect(node).contains(x, y))
            return m_document.nodeInterface(node);
    }
    return nullptr;
}

QString NodeAccessible::text(QAccessible::Text type) const
{
    switch (type) {
    case QAccessible::Name:
        return m_node.name;
    case QAccessible::Description:
        return m_node.role == QAccessible::Heading ? levelDescription(m_node.level) : QString();
    case QAccessible::Value:
        return m_node.role == QAccessible::Link ? m_node.url.toString() : QString();
    default:
        return {};
    }
}

QRect NodeAccessible::rect() const
{
    return m_document.screenRect(m_node);
}

QAccessible::State NodeAccessible::state() const
{
    QAccessible::State state;
    state.readOnly = true;
    if (m_node.role == QAccessible::CheckBox) {
        state.checkable = true;
        state.checked = m_node.checked;
    } else if (m_node.role == QAccessible::Link) {
        state.linked = true;
        state.focusable = m_node.opens;
        state.focused = m_document.isFocused(m_node);
    }
    return state;
}

void *NodeAccessible::interface_cast(QAccessible::InterfaceType type)
{
    switch (type) {
    case QAccessible::TextInterface:
        return isTextBlock(m_node.role) ? static_cast<QAccessibleTextInterface *>(this) : nullptr;
    case QAccessible::ActionInterface:
        return m_node.role == QAccessible::Link ? static_cast<QAccessibleActionInterface *>(this)
                                                 : nullptr;
    case QAccessible::TableInterface:
        return m_node.role == QAccessible::Table ? static_cast<QAccessibleTableInterface *>(this)
                                                  : nullptr;
    case QAccessible::TableCellInterface:
        return isCell() ? static_cast<QAccessibleTableCellInterface *>(this) : nullptr;
    default:
        return nullptr;
    }
}

QStringList NodeAccessible::actionNames() const
{
    if (m_node.role == QAccessible::Link && m_node.opens)
        return {pressAction()};
    return {};
}

void NodeAccessible::doAction(const QString &actionName)
{
    if (actionName == pressAction() && m_node.role == QAccessible::Link && m_node.opens)
        m_document.view().openLink(m_node.url);
}

void NodeAccessible::showText(int)
{
    m_document.view().showBlock(m_node.block);
}

bool NodeAccessible::isCell() const
{
    return m_node.role == QAccessible::Cell || m_node.role == QAccessible::ColumnHeader;
}

QAccessibleInterface *NodeAccessible::cell(int row, int column) const
{
    if (row < 0 || row >= m_node.rowCount || column < 0 || column >= m_node.columnCount)
        return nullptr;
    return m_document.nodeInterface(
        m_node.children[std::size_t(row) * std::size_t(m_node.columnCount) + std::size_t(column)]);
}

QAccessibleInterface *NodeAccessible::cellAt(int row, int column) const
{
    return m_node.role == QAccessible::Table ? cell(row, column) : nullptr;
}

QString NodeAccessible::columnDescription(int column) const
{
    QAccessibleInterface *header = cellAt(0, column);
    return header ? header->text(QAccessible::Name) : QString();
}

QList<QAccessibleInterface *> NodeAccessible::columnHeaderCells() const
{
    if (!isCell() || m_node.row == 0 || !m_node.parent)
        return {};
    QAccessibleInterface *header = m_document.nodeInterface(*m_node.parent);
    QAccessibleTableInterface *table = header ? header->tableInterface() : nullptr;
    QAccessibleInterface *cell = table ? table->cellAt(0, m_node.column) : nullptr;
    return cell ? QList<QAccessibleInterface *>{cell} : QList<QAccessibleInterface *>{};
}

} // namespace tolvaran::markdown
