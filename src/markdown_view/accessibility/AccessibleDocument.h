#pragma once

#include "markdown/nodes/BlockNode.h"
#include "markdown_view/theme/Color.h"

#include <QAccessible>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>
#include <vector>

namespace tolvaran::markdown {

// One thing assistive technology reads of a document: a block (heading, paragraph, code, list,
// list item, quote, table, table cell, rule) or what stands in text (a link, an image, a task's
// check box).
struct AccessibleNode
{
    QAccessible::Role role = QAccessible::Paragraph;
    QString name;        // headings, links, images (their alternative text), cells, check boxes
    QString text;        // what a text block reads; empty for containers and what stands in text
    int level = 0;       // a heading's, 1 to 6
    QUrl url;            // a link's target, resolved against the base URL
    bool opens = false;  // whether following the link opens it
    bool checked = false;
    int row = -1;        // a cell's row in its table, where the header row is row 0
    int column = -1;
    int rowCount = 0;    // a table's rows (its header row among them) and its columns
    int columnCount = 0;
    // A picture (or a link around one) standing alone in a paragraph or cell, or a task's
    // check box: it reads the text of what holds it, which then gives no text of its own.
    bool readsInPlace = false;
    qsizetype block = -1; // the top-level block it stands in
    // Among its block's links that open, in reading order (as the keyboard walks them); -1 for
    // the others.
    int link = -1;
    qsizetype textStart = -1; // where `text` starts in the document's text
    const AccessibleNode *parent = nullptr; // none for the document
    std::vector<AccessibleNode> children;
};

// A parsed document as assistive technology reads it: a tree of nodes in reading order, with
// one child of the root per top-level block, and the text of all its text blocks (and of what
// reads in their place) in that order, each on lines of its own; what has no text takes no
// line. Each text is read once: a picture standing alone reads its alternative text where the
// paragraph or cell holding it would, a task's check box the task's words (its pictures' too).
// A table's children are its cells row by row, the header row first. Images that do not show
// in the colour scheme are left out, as the view leaves them out. A value that never changes
// once built: nodes keep their addresses.
class AccessibleDocument final
{
public:
    AccessibleDocument(const QList<BlockNode> &blocks, const std::optional<QUrl> &baseURL,
                       ColorScheme scheme);
    AccessibleDocument(const AccessibleDocument &) = delete;
    AccessibleDocument &operator=(const AccessibleDocument &) = delete;

    const AccessibleNode &root() const { return m_root; }
    const QString &text() const { return m_text; }

    // The text block whose text holds `offset` of the document's text (or ends just before
    // it); none past the end.
    const AccessibleNode *textNodeAt(qsizetype offset) const;
    // The link that opens numbered `link` in top-level block `block`; none where there is no
    // such link.
    const AccessibleNode *link(qsizetype block, int link) const;
    // The node of top-level block `block`; none out of range.
    const AccessibleNode *block(qsizetype block) const;
    // The first heading, for a name of the whole document; none without headings.
    const AccessibleNode *firstHeading() const;

private:
    AccessibleNode m_root;
    QString m_text;
    std::vector<const AccessibleNode *> m_textNodes; // in the order of their text
};

class DocumentLayout;
struct FocusTarget;

// The node the keyboard's `target` is on: the link it is, or the top-level block of a wide
// block (which the document does not tell apart from its narrow ones).
const AccessibleNode *focusedNode(const AccessibleDocument &document, const FocusTarget &target);

// Where `node` shows in `layout`, in document coordinates: a link that opens where its first
// line is, while its block holds its items; anything else where its top-level block is. Empty
// until that block is laid out.
QRectF nodeFrame(DocumentLayout &layout, const AccessibleNode &node);

} // namespace tolvaran::markdown
