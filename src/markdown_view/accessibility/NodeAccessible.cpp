#include "markdown_view/accessibility/NodeAccessible.h"

#include "markdown_view/accessibility/DocumentAccessible.h"
#include "markdown_view/MarkdownView.h"

#include <algorithm>

namespace tolvaran::markdown {

namespace {

// How a heading's level reads, after its role.
QString levelDescription(int level)
{
    return QStringLiteral("Level %1").arg(level);
}

// The header cell of `column` of `table`, which leads its children; none out of range.
const AccessibleNode *headerCell(const AccessibleNode &table, int column)
{
    if (table.role != QAccessible::Table || column < 0 || column >= table.columnCount
        || std::size_t(column) >= table.children.size())
        return nullptr;
    return &table.children[std::size_t(column)];
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
        // A table without cells has none to answer the bridge with.
        return m_node.role == QAccessible::Table && !m_node.children.empty()
                   ? static_cast<QAccessibleTableInterface *>(this)
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

QAccessibleInterface *NodeAccessible::cellAt(int row, int column) const
{
    if (m_node.role != QAccessible::Table || m_node.children.empty())
        return nullptr;
    row = std::clamp(row, 0, m_node.rowCount - 1);
    column = std::clamp(column, 0, m_node.columnCount - 1);
    const std::size_t columns = std::size_t(m_node.columnCount);
    return m_document.nodeInterface(
        m_node.children[std::size_t(row) * columns + std::size_t(column)]);
}

QString NodeAccessible::columnDescription(int column) const
{
    const AccessibleNode *cell = headerCell(m_node, column);
    if (!cell)
        return {};
    if (!cell->name.isEmpty())
        return cell->name;
    // A header of pictures reads them.
    QStringList names;
    for (const AccessibleNode &picture : cell->children)
        names.append(picture.name);
    return names.join(QLatin1Char(' '));
}

QList<QAccessibleInterface *> NodeAccessible::columnHeaderCells() const
{
    if (!isCell() || !m_node.parent)
        return {};
    const AccessibleNode *cell = headerCell(*m_node.parent, m_node.column);
    return cell ? QList<QAccessibleInterface *>{m_document.nodeInterface(*cell)}
                : QList<QAccessibleInterface *>{};
}

} // namespace tolvaran::markdown
