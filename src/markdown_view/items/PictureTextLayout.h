#pragma once

#include <QFont>
#include <QString>
#include <QTextFormat>

#include <memory>

class QTextDocument;
class QTextLayout;

namespace tolvaran::markdown {

// The text layout of a text with pictures standing in its lines. QTextLayout gives a picture's
// object replacement character room only inside a QTextDocument, whose layout asks a handler
// for the object's size: so the text is laid out in the one block of a document of its own,
// each picture a character formatted as an object of pictureObjectType whose size (in points)
// is the format's pictureSizeProperty. The picture takes its height above the baseline and
// nothing below it (the line keeps its text's descent), and is shrunk to the fitting width,
// where wider, as a block picture is (resizedToFit). It draws nothing: the item that lays
// the text out draws the pictures.
class PictureTextLayout final
{
public:
    static constexpr int pictureObjectType = QTextFormat::UserObject + 1;
    static constexpr int pictureSizeProperty = QTextFormat::UserProperty + 1;

    // `text` as it is laid out: each picture an object replacement character, and lines broken
    // by line separators.
    PictureTextLayout(const QString &text, const QFont &font);
    ~PictureTextLayout();
    PictureTextLayout(const PictureTextLayout &) = delete;
    PictureTextLayout &operator=(const PictureTextLayout &) = delete;

    // The layout, whose pictures fit in `fittingWidth` once it is laid out afresh (setText).
    QTextLayout &layout(qreal fittingWidth);

private:
    class Pictures;

    std::unique_ptr<QTextDocument> m_document;
    std::unique_ptr<Pictures> m_pictures;
};

} // namespace tolvaran::markdown
