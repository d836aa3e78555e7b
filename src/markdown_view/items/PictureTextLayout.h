#pragma once

#include <QList>
#include <QSizeF>
#include <QTextFormat>
#include <QTextLayout>

#include <utility>
#include <vector>

namespace tolvaran::markdown {

struct AttributedText;

// How a text with pictures standing in its lines is laid out by QTextLayout alone, as any
// other text. Qt gives an object room only in a QTextDocument, which starts a new block at a
// carriage return, U+2029, U+FDD0 and U+FDD1 (and draws only the first) and gives a line the
// height of an object it then moves to the next line. So each picture is a character that Qt
// breaks lines around as it does around an object (standIn), in its text's font without a
// fallback (its line is as tall as the text), drawn in no colour and widened by letter
// spacing to the picture's width, shrunk to the fitting width where wider, as a block picture
// is (resizedToFit). The picture stands on the baseline: the item that lays the text out puts
// room above each line's text for the tallest picture on it (roomAbove), and draws the
// pictures; each line keeps its text's descent.
class PictureTextLayout final
{
public:
    // A character of line breaking class ID (ideographic), as an object's: a break is allowed
    // before and after it.
    static constexpr char16_t standIn = u'\u2600';

    // The format of a picture's character, whose size in points is `size`, among text
    // formatted as `around`.
    static QTextCharFormat pictureFormat(const QTextCharFormat &around, QSizeF size);
    // Whether `format` is a picture's.
    static bool isPicture(const QTextFormat &format);

    // The layout of `text`'s pictures for lines `fittingWidth` wide.
    PictureTextLayout(const AttributedText &text, qreal fittingWidth);

    // The formats of the text, each picture's character as wide as its picture.
    const QList<QTextLayout::FormatRange> &formats() const { return m_formats; }
    // The room `line` (laid out with formats()) takes above its text for its pictures: what
    // the tallest rises above the text's ascent.
    qreal roomAbove(const QTextLine &line) const;

private:
    QList<QTextLayout::FormatRange> m_formats;
    // Each picture's position in the text and its height as laid out, in text order.
    std::vector<std::pair<int, qreal>> m_heights;
};

} // namespace tolvaran::markdown
