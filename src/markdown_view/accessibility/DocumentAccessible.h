#pragma once

#include "markdown_view/accessibility/AccessibleDocument.h"
#include "markdown_view/accessibility/ReadOnlyText.h"

#include <QAccessibleWidget>

#include <memory>
#include <unordered_map>

namespace tolvaran::markdown {

class MarkdownView;
class NodeAccessible;

// What assistive technology sees of a Markdown view: a document whose text is the document's
// text in reading order and whose children are its blocks, each an interface of its own
// (NodeAccessible): headings with their level, paragraphs, links that can be followed, images
// by their alternative text, lists, task check boxes and tables with their cells by row and
// column. It is named by the view's accessible name, else by its first heading.
//
// The interfaces of the nodes are made when first asked for and kept while the view shows the
// same document; once this interface sees that it shows another, they are handed back to Qt's
// registry to delete. Until then they keep answering for the document they were made for: only
// this interface's own calls change documents, never a node's.
class DocumentAccessible final : public QAccessibleWidget, public ReadOnlyText
{
public:
    explicit DocumentAccessible(MarkdownView *view);
    ~DocumentAccessible() override;

    // Makes Qt build this interface for every MarkdownView; once per process.
    static void install();

    using QAccessibleWidget::text;
    using ReadOnlyText::text;
    QString text(QAccessible::Text type) const override;
    QAccessible::State state() const override;
    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QAccessibleInterface *focusChild() const override;
    void *interface_cast(QAccessible::InterfaceType type) override;

    MarkdownView &view() const;
    // The interface of `node` of the document this interface answers for, made when first
    // asked for.
    QAccessibleInterface *nodeInterface(const AccessibleNode &node) const;
    // Whether the keyboard focus is on `node` of the document this interface answers for.
    bool isFocused(const AccessibleNode &node) const;
    // Where `node` shows, in screen coordinates (as near as the layout knows).
    QRect screenRect(const AccessibleNode &node) const;

protected:
    QString readText() const override;
    QRect textRect(int offset) const override;
    void showText(int offset) override;

private:
    // The document shown now; the interfaces made for an older one go.
    const AccessibleDocument &document() const;
    void release() const;

    mutable std::shared_ptr<const AccessibleDocument> m_document;
    mutable std::unordered_map<const AccessibleNode *, NodeAccessible *> m_nodes;
};

// Tells assistive technology where the keyboard focus is in `view`: on a link or wide block,
// or on the document itself.
void announceFocus(MarkdownView &view);

} // namespace tolvaran::markdown
