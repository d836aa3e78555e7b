#include "markdown_view/Deprecations.h"

// The definitions themselves use the deprecated entry points they define.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace tolvaran::markdown::deprecated {

BlockStyle<BlockConfiguration> blockStyle(LabelBody body)
{
    return [body = std::move(body)](const BlockConfiguration &configuration) {
        return body(configuration.label);
    };
}

BlockStyle<CodeBlockConfiguration> codeBlockStyle(LabelBody body)
{
    return [body = std::move(body)](const CodeBlockConfiguration &configuration) {
        return body(configuration.label);
    };
}

Theme heading(const Theme &theme, int level, LabelBody body)
{
    Theme result = theme;
    if (level >= 1 && level <= result.headings.size())
        result.headings[level - 1] = blockStyle(std::move(body));
    return result;
}

Theme withBlockStyle(const Theme &theme, BlockStyle<BlockConfiguration> Theme::*slot,
                     LabelBody body)
{
    Theme result = theme;
    result.*slot = blockStyle(std::move(body));
    return result;
}

Theme codeBlock(const Theme &theme, LabelBody body)
{
    Theme result = theme;
    result.codeBlock = codeBlockStyle(std::move(body));
    return result;
}

} // namespace tolvaran::markdown::deprecated
