#include "markdown_view/accessibility/DocumentAccessible.h"

#include "markdown_view/accessibility/NodeAccessible.h"
#include "markdown_view/MarkdownView.h"

namespace tolvaran::markdown {

namespace {

QAccessibleInterface *documentFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String(MarkdownView::staticMetaObject.className()))
        return new DocumentAccessible(static_cast<MarkdownView *>(object));
    return nullptr;
}

} // namespace

DocumentAccessible::DocumentAccessible(MarkdownView *view)
    : QAccessibleWidget(view, QAccessible::Document)
{
}

DocumentAccessible::~DocumentAccessible()
{
    release();
}

void DocumentAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(documentFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

MarkdownView &DocumentAccessible::view() const
{
    return *static_cast<MarkdownView *>(widget());
}

const AccessibleDocument &DocumentAccessible::document() const
{
    std::shared_ptr<const AccessibleDocument> now = view().accessibleDocument();
    if (now != m_document) {
        release();
        m_document = std::move(now);
    }
    return *m_document;
}

void DocumentAccessible::release() const
{
    for (const auto &[node, interface] : m_nodes)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(interface));
    m_nodes.clear();
}

QAccessibleInterface *DocumentAccessible::nodeInterface(const AccessibleNode &node) const
{
    NodeAccessible *&interface = m_nodes[&node];
    if (!interface) {
        interface = new NodeAccessible(*this, node);
        QAccessible::registerAccessibleInterface(interface);
    }
    return interface;
}

bool DocumentAccessible::isFocused(const AccessibleNode &node) const
{
    return view().accessibleDocument() == m_document && view().accessibleFocus() == &node;
}

QRect DocumentAccessible::screenRect(const AccessibleNode &node) const
{
    const QRect inView = view().accessibleRect(node);
    if (inView.isNull())
        return {};
    return QRect(view().mapToGlobal(inView.topLeft()), inView.size());
}

QString DocumentAccessible::text(QAccessible::Text type) const
{
    if (type != QAccessible::Name)
        return QAccessibleWidget::text(type);
    if (!view().accessibleName().isEmpty())
        return view().accessibleName();
    const AccessibleNode *heading = document().firstHeading();
    return heading ? heading->name : QString();
}

QAccessible::State DocumentAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = true;
    state.focusable = true;
    return state;
}

int DocumentAccessible::childCount() const
{
    return int(document().root().children.size());
}

QAccessibleInterface *DocumentAccessible::child(int index) const
{
    const AccessibleNode *block = document().block(index);
    return block ? nodeInterface(*block) : nullptr;
}

int DocumentAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    const auto *node = dynamic_cast<const NodeAccessible *>(child);
    if (!node || node->node().parent != &document().root())
        return -1;
    return int(node->node().block);
}

QAccessibleInterface *DocumentAccessible::childAt(int x, int y) const
{
    for (const AccessibleNode &block : document().root().children) {
        if (screenRect(block).contains(x, y))
            return nodeInterface(block);
    }
    return nullptr;
}

QAccessibleInterface *DocumentAccessible::focusChild() const
{
    document(); // the focus is in the document shown now
    const AccessibleNode *focused = view().accessibleFocus();
    return focused ? nodeInterface(*focused) : nullptr;
}

void *DocumentAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString DocumentAccessible::readText() const
{
    return document().text();
}

QRect DocumentAccessible::textRect(int offset) const
{
    const AccessibleNode *node = document().textNodeAt(offset);
    return node ? screenRect(*node) : QRect();
}

void DocumentAccessible::showText(int offset)
{
    if (const AccessibleNode *node = document().textNodeAt(offset))
        view().showBlock(node->block);
}

void announceFocus(MarkdownView &view)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleInterface *document = QAccessible::queryAccessibleInterface(&view);
    if (!document)
        return;
    QAccessibleInterface *focused = document->focusChild();
    QAccessibleEvent event(focused ? focused : document, QAccessible::Focus);
    QAccessible::updateAccessibility(&event);
}

} // namespace tolvaran::markdown
