#pragma once

#include "markdown/InlineContent.h"

namespace tolvaran::markdown {

// A hard line break built in code.
class LineBreak final : public InlineContentProtocol
{
public:
    LineBreak() = default;

    InlineContent inlineContent() const override;
};

} // namespace tolvaran::markdown
