#pragma once

#include "markdown/InlineContent.h"
#include "markdown/MarkdownContent.h"
#include "markdown/MarkdownContentProtocol.h"

#include <optional>

namespace tolvaran::markdown {

// A heading built in code.
class Heading final : public MarkdownContentProtocol
{
public:
    enum class Level { level1 = 1, level2, level3, level4, level5, level6 };
    // The level of 1 to 6; none for any other number.
    static std::optional<Level> levelFromRawValue(int value)
    {
        if (value < 1 || value > 6)
            return std::nullopt;
        return Level(value);
    }

    Heading(Level headingLevel, InlineContent inlines);

    MarkdownContent markdownContent() const override;

    Level level;
    InlineContent content;
};

} // namespace tolvaran::markdown
