#pragma once

#include "markdown_view/Color.h"
#include "markdown_view/TextStyle.h"

#include <QColor>
#include <QTextCharFormat>
#include <QUrl>

#include <memory>
#include <optional>

namespace tolvaran::markdown {

struct Theme;
class CodeSyntaxHighlighter;

// How a soft line break of the source shows: as a space or as a line feed.
enum class SoftBreakMode { space, lineBreak };

// Everything a view reads from the tree above it: one immutable value, handed down and
// changed for a subtree only by making a changed copy.
struct StyleContext
{
    std::shared_ptr<const Theme> theme;
    // The text style in force: the default font properties, then every style added on the
    // way down, the nearest last.
    TextStyle textStyle;
    std::optional<QUrl> baseURL;      // for relative link destinations
    std::optional<QUrl> imageBaseURL; // for relative image sources
    ColorScheme colorScheme = ColorScheme::light;
    QColor defaultForeground = Qt::black; // the text colour where no style sets one
    QColor linkForeground = Qt::blue;     // the colour of links where no style sets one
    SoftBreakMode softBreakMode = SoftBreakMode::space;
    int listLevel = 0;                // the level of the list items below (0: none)
    bool tightSpacingEnabled = false; // inside a tight list
    qreal lineSpacing = 0;            // extra space between the lines of text
    bool textSelectionEnabled = false;
    // How code blocks are coloured (the plain-text highlighter when absent).
    std::shared_ptr<const CodeSyntaxHighlighter> codeSyntaxHighlighter;

    // The context of the whole document under `theme` (the Theme::basic() when absent).
    static StyleContext root(std::shared_ptr<const Theme> theme);

    // This context with `style` appended to the text style (it wins over what is in force).
    StyleContext withTextStyle(const TextStyle &style) const;
    // The attributes the text style in force resolves to; they always hold font properties.
    // Resolved once per text style and shared by the copies that keep it.
    const TextAttributes &attributes() const;
    const Theme &currentTheme() const;

private:
    mutable std::shared_ptr<const TextAttributes> m_attributes;
};

// The character format of text drawn with `attributes` under `scheme`. A document uses a
// handful of distinct attribute sets, so formats (and their fonts) are made once per set on
// each thread and shared: building a font and a format per run of text would cost more than
// laying the text out.
QTextCharFormat characterFormat(const TextAttributes &attributes, ColorScheme scheme);

} // namespace tolvaran::markdown
