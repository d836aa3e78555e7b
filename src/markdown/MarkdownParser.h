#pragma once

#include "markdown/nodes/BlockNode.h"

#include <QList>
#include <QString>

namespace tolvaran::markdown {

// The one place that talks to the Markdown library (GitHub-flavoured CommonMark): its
// extensions ("autolink", "strikethrough", "tagfilter", "tasklist", "table"), its options,
// and the lock around it. Nothing else includes the library's headers but the tree writer
// that renders use (LibraryTreeWriter.cpp); no library object outlives a call, and the node
// model holds no reference into the library's memory.
//
// Thread safety: every call may come from any thread. The library changes process-wide
// tables while it parses and registers its extensions without a lock, so every call holds
// one process-wide mutex while it uses the library.
//
// Depth: the library builds trees as deep as its input asks (100 KB of ">" is 100,000 nested
// quotes), and every operation on the node model is recursive. The parser therefore keeps
// structure only down to `maximumNestingDepth` levels of nesting; what lies deeper becomes
// plain text (a paragraph of it in place of deeper blocks, a text node in place of deeper
// inline nodes). A parsed tree is never more than a few levels deeper than that, whatever
// the input. Trees built in code nest as deep as the code that built them.

// Levels of nesting (blocks, list items, table rows and cells and inline nodes each count
// one) that parsing keeps as structure.
inline constexpr int maximumNestingDepth = 48;

// Width: the library's table syntax takes time that grows with the square of a row's cells
// (a 100 KB row of pipes takes seconds) and keeps its column count in 16 bits. A line with
// more unescaped pipes than this is therefore never read as a table row, header or
// delimiter row: its pipes are ordinary characters there, so it shows as text (inside a
// table, as the text of one cell). Every character of it is kept.
inline constexpr int maximumTableRowCells = 64;

// The top-level blocks of `markdown`, in document order; empty when the library yields no
// document. Link and image titles are not kept; a fence without an info string and an
// indented code block both have no fence info. Parsing never fails.
QList<BlockNode> parseMarkdown(const QString &markdown);

// The blocks rendered back by the library: as CommonMark (no line wrapping), as plain text,
// or as HTML. Rendered HTML never carries raw HTML from the document (it is replaced by a
// comment) nor a link whose scheme could run code. The CommonMark and plain-text results
// lose one trailing line feed; the HTML is as the library writes it. All three are "" for
// no blocks.
QString renderMarkdown(const QList<BlockNode> &blocks);
QString renderPlainText(const QList<BlockNode> &blocks);
QString renderHTML(const QList<BlockNode> &blocks);

} // namespace tolvaran::markdown
