#pragma once

#include "markdown_view/theme/Color.h"
#include "markdown_view/theme/TableBackgroundStyle.h"
#include "markdown_view/theme/TableBorderStyle.h"
#include "markdown_view/theme/TextStyle.h"

#include <QColor>
#include <QTextCharFormat>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

namespace tolvaran::markdown {

struct Theme;
class CodeSyntaxHighlighter;
class ImageProvider;
class ImagePixelBudget;
class InlineImageProvider;
class RemoteImageLoader;

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
    // The lines and cell fills of tables (the default border style and clear cells when
    // absent).
    std::shared_ptr<const TableBorderStyle> tableBorderStyle;
    std::shared_ptr<const TableBackgroundStyle> tableBackgroundStyle;
    // Where block images come from (the network and image-base files when absent).
    std::shared_ptr<const ImageProvider> imageProvider;
    // Where images inside text come from (the shared loader when absent).
    std::shared_ptr<const InlineImageProvider> inlineImageProvider;
    // The loader network images use (not owned; the shared loader when absent).
    RemoteImageLoader *remoteImageLoader = nullptr;
    // What the document's pictures hold their decoded pixels under (not owned; no limit when
    // absent).
    ImagePixelBudget *imagePixelBudget = nullptr;
    // Called on the GUI thread when an image of the document arrived or failed, so the view
    // lays the blocks out again; nothing is called when empty.
    std::function<void()> imageChanged;

    // The context of the whole document under `theme` (the Theme::basic() when absent).
    static StyleContext root(std::shared_ptr<const Theme> theme);

    // This context with `style` appended to the text style (it wins over what is in force).
    StyleContext withTextStyle(const TextStyle &style) const;
    // The attributes the text style in force resolves to; they always hold font properties.
    // Resolved once per text style and shared by the copies that keep it.
    const TextAttributes &attributes() const;
    const Theme &currentTheme() const;
    const TableBorderStyle &currentTableBorderStyle() const;
    TableBackgroundStyle currentTableBackgroundStyle() const;

private:
    mutable std::shared_ptr<const TextAttributes> m_attributes;
};

// The character format of text drawn with `attributes` under `scheme`. A document uses a
// handful of distinct attribute sets, so formats (and their fonts) are made once per set on
// each thread and shared: building a font and a format per run of text would cost more than
// laying the text out.
QTextCharFormat characterFormat(const TextAttributes &attributes, ColorScheme scheme);

} // namespace tolvaran::markdown
