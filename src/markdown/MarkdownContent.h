#pragma once

#include "markdown/nodes/BlockNode.h"
#include "markdown/MarkdownContentProtocol.h"

#include <QList>
#include <QString>

#include <optional>

namespace tolvaran::markdown {

// A Markdown document as a value: its top-level blocks in document order.
class MarkdownContent final : public MarkdownContentProtocol
{
public:
    MarkdownContent() = default;
    // The text parsed at once; no blocks when it yields no document.
    explicit MarkdownContent(const QString &markdown);
    explicit MarkdownContent(QList<BlockNode> blocks);
    // The blocks of every component, concatenated in order.
    explicit MarkdownContent(const QList<MarkdownContent> &components);

    const QList<BlockNode> &blocks() const { return m_blocks; }

    // The children of every block concatenated in block order; absent when there are none.
    std::optional<MarkdownContent> childContent() const;

    MarkdownContent markdownContent() const override { return *this; }

    // See the render functions of MarkdownParser.h: "" without blocks; CommonMark and plain
    // text without their final line feed, HTML as the library writes it.
    QString renderMarkdown() const;
    QString renderPlainText() const;
    QString renderHTML() const;

    // Equal blocks, pairwise; contents that share their storage compare equal at once.
    friend bool operator==(const MarkdownContent &a, const MarkdownContent &b)
    {
        return a.m_blocks == b.m_blocks;
    }

private:
    QList<BlockNode> m_blocks;
};

} // namespace tolvaran::markdown
