#include "markdown_view/MarkdownAccessibility.h"

#include <QAccessibleWidget>

#include <memory>
#include <vector>

namespace tolvaran::markdown {

namespace {

// One element: no object of its own, owned by the viewport's interface.
class ElementAccessible final : public QAccessibleInterface
{
public:
    ElementAccessible(QAccessibleInterface *parent, QWidget *viewport, AccessibleElement element)
        : m_parent(parent)
        , m_viewport(viewport)
        , m_element(std::move(element))
    {
    }

    bool isValid() const override { return m_viewport != nullptr; }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_parent->window(); }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override { return m_parent; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QString text(QAccessible::Text type) const override
    {
        return type == QAccessible::Name ? m_element.name : QString();
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override
    {
        return QRect(m_viewport->mapToGlobal(m_element.rect.topLeft()), m_element.rect.size());
    }
    QAccessible::Role role() const override { return m_element.role; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.readOnly = true;
        if (m_element.role == QAccessible::CheckBox) {
            state.checkable = true;
            state.checked = m_element.checked;
        }
        if (m_element.role == QAccessible::Link) {
            state.linked = true;
            state.focusable = true;
        }
        state.focused = m_element.focused;
        return state;
    }
    const AccessibleElement &element() const { return m_element; }

private:
    QAccessibleInterface *m_parent;
    QWidget *m_viewport;
    AccessibleElement m_element;
};

// The viewport: a document whose children are the shown elements. The children are made again
// whenever the elements change; the old ones are handed back to Qt's registry to delete.
class ViewportAccessible final : public QAccessibleWidget
{
public:
    explicit ViewportAccessible(MarkdownViewport *viewport)
        : QAccessibleWidget(viewport, QAccessible::Document)
        , m_viewport(viewport)
    {
    }

    ~ViewportAccessible() override { release(); }

    int childCount() const override { return int(children().size()); }
    QAccessibleInterface *child(int index) const override
    {
        const auto &current = children();
        return index >= 0 && index < int(current.size()) ? current[std::size_t(index)] : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        const auto &current = children();
        for (std::size_t index = 0; index < current.size(); ++index) {
            if (current[index] == child)
                return int(index);
        }
        return -1;
    }

private:
    const std::vector<ElementAccessible *> &children() const
    {
        const QList<AccessibleElement> elements = m_viewport->accessibleElements();
        if (elements != m_elements) {
            release();
            m_elements = elements;
            for (const AccessibleElement &element : elements) {
                auto *child = new ElementAccessible(const_cast<ViewportAccessible *>(this),
                                                    m_viewport, element);
                QAccessible::registerAccessibleInterface(child);
                m_children.push_back(child);
            }
        }
        return m_children;
    }

    void release() const
    {
        for (ElementAccessible *child : m_children)
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(child));
        m_children.clear();
        m_elements.clear();
    }

    MarkdownViewport *m_viewport;
    mutable QList<AccessibleElement> m_elements;
    mutable std::vector<ElementAccessible *> m_children;
};

QAccessibleInterface *viewportFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String(MarkdownViewport::staticMetaObject.className()))
        return new ViewportAccessible(static_cast<MarkdownViewport *>(object));
    return nullptr;
}

} // namespace

MarkdownViewport::MarkdownViewport(ElementSource elements, QWidget *parent)
    : QWidget(parent)
    , m_elements(std::move(elements))
{
}

void MarkdownViewport::installAccessibleFactory()
{
    static const bool installed = [] {
        QAccessible::installFactory(viewportFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace tolvaran::markdown
