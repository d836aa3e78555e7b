#pragma once

namespace tolvaran::markdown {

class MarkdownContent;

// Anything that yields Markdown content: MarkdownContent itself, and the block types that
// code assembles documents from.
class MarkdownContentProtocol
{
public:
    virtual ~MarkdownContentProtocol() = default;

    virtual MarkdownContent markdownContent() const = 0;

protected:
    MarkdownContentProtocol() = default;
    MarkdownContentProtocol(const MarkdownContentProtocol &) = default;
    MarkdownContentProtocol &operator=(const MarkdownContentProtocol &) = default;
};

} // namespace tolvaran::markdown
