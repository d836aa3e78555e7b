#pragma once

#include "markdown/InlineContent.h"

namespace tolvaran::markdown {

// A soft line break built in code: a space or a line feed, as the view's soft-break mode says.
class SoftBreak final : public InlineContentProtocol
{
public:
    SoftBreak() = default;

    InlineContent inlineContent() const override;
};

} // namespace tolvaran::markdown
