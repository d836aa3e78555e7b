#pragma once

namespace tolvaran::markdown {

class InlineContent;

// Anything that yields inline content: InlineContent itself, and the inline elements that code
// assembles text from.
class InlineContentProtocol
{
public:
    virtual ~InlineContentProtocol() = default;

    virtual InlineContent inlineContent() const = 0;

protected:
    InlineContentProtocol() = default;
    InlineContentProtocol(const InlineContentProtocol &) = default;
    InlineContentProtocol &operator=(const InlineContentProtocol &) = default;
};

} // namespace tolvaran::markdown
