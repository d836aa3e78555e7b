#pragma once

#include "markdown/InlineContent.h"
#include "markdown_view/theme/BlockStyle.h"
#include "markdown_view/theme/Theme.h"

#include <QColor>
#include <QUrl>

#include <functional>

namespace tolvaran::markdown::deprecated {

// Older entry points, kept so that code written against them still builds: block styles
// whose body receives only the block's label, where the current ones receive the whole
// configuration. New code writes BlockStyle functions over the configuration.

using LabelBody = std::function<View(const View &label)>;

// A block style that calls `body` with the configuration's label.
[[deprecated("write a BlockStyle over the configuration")]]
BlockStyle<BlockConfiguration> blockStyle(LabelBody body);
// A code block style that calls `body` with the code's label only (language and text are
// not passed on).
[[deprecated("write a BlockStyle over the configuration")]]
BlockStyle<CodeBlockConfiguration> codeBlockStyle(LabelBody body);

// A copy of `theme` with heading `level` (1 to 6) drawn by `body`.
[[deprecated("set Theme::headings")]]
Theme heading(const Theme &theme, int level, LabelBody body);
// A copy of `theme` with one block slot (paragraph, blockquote, image, list, listItem,
// table) drawn by `body`.
[[deprecated("set the Theme slot")]]
Theme withBlockStyle(const Theme &theme, BlockStyle<BlockConfiguration> Theme::*slot,
                     LabelBody body);
// A copy of `theme` whose code blocks are drawn by `body` around their label.
[[deprecated("set Theme::codeBlock")]]
Theme codeBlock(const Theme &theme, LabelBody body);

// Older modifiers without effect: each returns `view` as it is.
[[deprecated("links open through MarkdownView::setLinkOpener")]]
View onOpenMarkdownLink(View view, std::function<void(const QUrl &)> handler);

// Entry points of the older interface that have no behaviour left: every constructor, static
// value and operation below stops the program with "Unimplemented". The types keep their
// fields and comparisons so that code storing them still builds; no value of them can be
// made.

class MarkdownStyle final
{
public:
    struct Measurements;

    class Font final
    {
    public:
        enum class Weight { regular, medium, semibold, bold };
        enum class Design { normal, monospaced, rounded, serif };

        [[deprecated("use TextStyle")]] static Font largeTitle();
        [[deprecated("use TextStyle")]] static Font title();
        [[deprecated("use TextStyle")]] static Font title2();
        [[deprecated("use TextStyle")]] static Font title3();
        [[deprecated("use TextStyle")]] static Font headline();
        [[deprecated("use TextStyle")]] static Font subheadline();
        [[deprecated("use TextStyle")]] static Font body();
        [[deprecated("use TextStyle")]] static Font callout();
        [[deprecated("use TextStyle")]] static Font footnote();
        [[deprecated("use TextStyle")]] static Font caption();
        [[deprecated("use TextStyle")]] static Font caption2();
        [[deprecated("use TextStyle")]] static Font system(qreal size, Weight weight,
                                                           Design design);
        [[deprecated("use TextStyle")]] static Font system(const Font &style, Design design);
        [[deprecated("use TextStyle")]] static Font custom(const QString &name, qreal size);

        [[deprecated("use TextStyle")]] Font bold() const;
        [[deprecated("use TextStyle")]] Font italic() const;
        [[deprecated("use TextStyle")]] Font monospacedDigit() const;
        [[deprecated("use TextStyle")]] Font monospaced() const;
        [[deprecated("use TextStyle")]] Font scale(qreal factor) const;

        // All fonts of the older interface compare equal.
        friend bool operator==(const Font &, const Font &) { return true; }

    private:
        friend class MarkdownStyle;
        Font() = default;
    };

    class HeadingScales final
    {
    public:
        [[deprecated("use Theme::headings")]]
        HeadingScales(qreal h1, qreal h2, qreal h3, qreal h4, qreal h5, qreal h6);
        [[deprecated("use Theme::headings")]] static HeadingScales defaultScales();
        [[deprecated("use Theme::headings")]] qreal operator[](int level) const;

        friend bool operator==(const HeadingScales &, const HeadingScales &) { return true; }

    private:
        friend struct Measurements;
        HeadingScales() = default;
    };

    struct Measurements final
    {
        [[deprecated("use Theme")]]
        Measurements(qreal codeFontScale, qreal headIndentStep, qreal tailIndentStep,
                     qreal paragraphSpacing, qreal listMarkerSpacing,
                     HeadingScales headingScales, qreal headingSpacing);

        qreal codeFontScale = 0;
        qreal headIndentStep = 0;
        qreal tailIndentStep = 0;
        qreal paragraphSpacing = 0;
        qreal listMarkerSpacing = 0;
        HeadingScales headingScales;
        qreal headingSpacing = 0;

        // Equal over the six numbers; heading scales always compare equal.
        friend bool operator==(const Measurements &, const Measurements &) = default;

    private:
        friend class MarkdownStyle;
        Measurements() = default;
    };

    [[deprecated("use Theme")]]
    MarkdownStyle(Font font, QColor foregroundColor, Measurements measurements);

    Font font;
    QColor foregroundColor;
    Measurements measurements;

    friend bool operator==(const MarkdownStyle &left, const MarkdownStyle &right)
    {
        return left.foregroundColor == right.foregroundColor &&
               left.measurements == right.measurements;
    }
};

class MarkdownImageHandler final
{
public:
    [[deprecated("use ImageProvider")]] static MarkdownImageHandler remoteImage();
    [[deprecated("use ImageProvider")]]
    static MarkdownImageHandler assetImage(std::function<QString(const QUrl &)> name,
                                           const QString &bundle = {});

private:
    MarkdownImageHandler() = default;
};

// Returns `view` as it is: the older style no longer has any effect.
[[deprecated("use Theme")]]
View markdownStyle(View view, const MarkdownStyle &style);

// A heading view over inline content; stops the program.
[[deprecated("use a heading in the Markdown text")]]
View headingView(int level, const std::function<InlineContent()> &content);
// Stops the program: image handlers gave way to image providers.
[[deprecated("use MarkdownView::setImageProvider")]]
void setImageHandler(const MarkdownImageHandler &handler, const QString &urlScheme);

} // namespace tolvaran::markdown::deprecated
