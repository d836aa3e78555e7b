#include "markdown_view/items/PictureTextLayout.h"

#include "markdown_view/ResizeToFit.h"
#include "markdown_view/items/TextItem.h"

#include <QFontMetricsF>

#include <algorithm>

namespace tolvaran::markdown {

namespace {

// A picture's size in points, and the advance of its character before letter spacing.
constexpr int pictureSizeProperty = QTextFormat::UserProperty + 1;
constexpr int standInAdvanceProperty = QTextFormat::UserProperty + 2;

} // namespace

QTextCharFormat PictureTextLayout::pictureFormat(const QTextCharFormat &around, QSizeF size)
{
    QTextCharFormat format = around;
    // In the text's font alone, whether or not it has a glyph for the character: a font
    // standing in for a missing glyph would bring its own ascent and descent to the line.
    format.setFontStyleStrategy(
        QFont::StyleStrategy(around.fontStyleStrategy() | QFont::NoFontMerging));
    format.setForeground(Qt::transparent);
    format.setProperty(pictureSizeProperty, size);
    format.setProperty(standInAdvanceProperty,
                       QFontMetricsF(format.font()).horizontalAdvance(QChar(standIn)));
    return format;
}

bool PictureTextLayout::isPicture(const QTextFormat &format)
{
    return format.hasProperty(pictureSizeProperty);
}

PictureTextLayout::PictureTextLayout(const AttributedText &text, qreal fittingWidth)
    : m_formats(text.formats)
{
    // Neighbouring pictures of one size share a range, and their width.
    for (QTextLayout::FormatRange &range : m_formats) {
        if (!isPicture(range.format))
            continue;
        const QSizeF fitted =
            resizedToFit(range.format.property(pictureSizeProperty).toSizeF(), fittingWidth);
        range.format.setFontLetterSpacingType(QFont::AbsoluteSpacing);
        range.format.setFontLetterSpacing(
            fitted.width() - range.format.property(standInAdvanceProperty).toReal());
    }
    m_heights.reserve(std::size_t(text.images.size()));
    for (const AttributedText::Image &image : text.images)
        m_heights.emplace_back(image.position, resizedToFit(image.size, fittingWidth).height());
}

qreal PictureTextLayout::roomAbove(const QTextLine &line) const
{
    const int end = line.textStart() + line.textLength();
    qreal tallest = 0;
    for (auto picture = std::lower_bound(m_heights.begin(), m_heights.end(),
                                         std::pair(line.textStart(), qreal(0)));
         picture != m_heights.end() && picture->first < end; ++picture)
        tallest = std::max(tallest, picture->second);
    return std::max<qreal>(0, tallest - line.ascent());
}

} // namespace tolvaran::markdown
