#include "markdown_view/Deprecations.h"

// The definitions themselves use the deprecated entry points they define.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace tolvaran::markdown::deprecated {

namespace {

[[noreturn]] void unimplemented()
{
    qFatal("Unimplemented");
}

} // namespace

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

View onOpenMarkdownLink(View view, std::function<void(const QUrl &)>)
{
    return view;
}

View markdownStyle(View view, const MarkdownStyle &)
{
    return view;
}

using Font = MarkdownStyle::Font;

Font Font::largeTitle() { unimplemented(); }
Font Font::title() { unimplemented(); }
Font Font::title2() { unimplemented(); }
Font Font::title3() { unimplemented(); }
Font Font::headline() { unimplemented(); }
Font Font::subheadline() { unimplemented(); }
Font Font::body() { unimplemented(); }
Font Font::callout() { unimplemented(); }
Font Font::footnote() { unimplemented(); }
Font Font::caption() { unimplemented(); }
Font Font::caption2() { unimplemented(); }
Font Font::system(qreal, Weight, Design) { unimplemented(); }
Font Font::system(const Font &, Design) { unimplemented(); }
Font Font::custom(const QString &, qreal) { unimplemented(); }
Font Font::bold() const { unimplemented(); }
Font Font::italic() const { unimplemented(); }
Font Font::monospacedDigit() const { unimplemented(); }
Font Font::monospaced() const { unimplemented(); }
Font Font::scale(qreal) const { unimplemented(); }

MarkdownStyle::HeadingScales::HeadingScales(qreal, qreal, qreal, qreal, qreal, qreal)
{
    unimplemented();
}

MarkdownStyle::HeadingScales MarkdownStyle::HeadingScales::defaultScales()
{
    unimplemented();
}

qreal MarkdownStyle::HeadingScales::operator[](int) const
{
    unimplemented();
}

MarkdownStyle::Measurements::Measurements(qreal, qreal, qreal, qreal, qreal, HeadingScales,
                                          qreal)
{
    unimplemented();
}

MarkdownStyle::MarkdownStyle(Font, QColor, Measurements)
{
    unimplemented();
}

MarkdownImageHandler MarkdownImageHandler::remoteImage()
{
    unimplemented();
}

MarkdownImageHandler MarkdownImageHandler::assetImage(std::function<QString(const QUrl &)>,
                                                      const QString &)
{
    unimplemented();
}

View headingView(int, const std::function<InlineContent()> &)
{
    unimplemented();
}

void setImageHandler(const MarkdownImageHandler &, const QString &)
{
    unimplemented();
}

} // namespace tolvaran::markdown::deprecated
