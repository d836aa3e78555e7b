#pragma once

#include "markdown_view/items/BlockItem.h"
#include "markdown_view/items/InlinePicture.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QTextLayout>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tolvaran::markdown {

// Text with formatting per run: what the inline renderers produce and a text item draws.
struct AttributedText
{
    QString text;
    QList<QTextLayout::FormatRange> formats; // in order, covering the text
    // A picture standing in the text: one character at `position` that takes the picture's
    // `size` (in points), or less where the line is narrower. The picture belongs to the item
    // that loaded it (TextItem::pictures), which outlives the text it shows.
    struct Image
    {
        int position = 0;
        InlinePicture *picture = nullptr;
        QSizeF size;
    };
    QList<Image> images;

    void append(const QString &piece, const QTextCharFormat &format);
    void append(const AttributedText &other);
    // Appends `picture`, of `size` (in points), standing on the baseline of text formatted as
    // `around`: it takes its height above the baseline, and the line keeps the text's descent.
    void appendImage(InlinePicture *picture, QSizeF size, const QTextCharFormat &around);
    bool isEmpty() const { return text.isEmpty(); }
};

// A run of text laid out with QTextLayout: wrapped at the width offered (or not wrapped,
// for markers), lines `lineSpacing` apart. Runs may carry links (anchor formats); the
// text may be selectable.
class TextItem final : public SelectableText
{
public:
    struct Options
    {
        QFont font;              // for lines without runs (empty text)
        qreal lineSpacing = 0;   // extra space between lines
        bool wraps = true;
        bool selectable = false;
        QString accessibleName; // for text that stands for something else (an image)
    };

    TextItem(AttributedText text, const Options &options);

    const AttributedText &attributedText() const { return m_text; }
    const QString &text() const override { return m_text.text; }
    const Options &options() const { return m_options; }
    bool isSelectable() const override { return m_options.selectable; }

    void paint(const PaintContext &context, const QPointF &origin) const override;
    qreal minimumWidth() const override { return std::max<qreal>(0, m_minimumWidth); }
    qreal firstLineRoom() const override { return m_firstLineRoom; }
    int positionAt(const QPointF &point) override;
    QUrl linkAt(const QPointF &point) const override;
    struct Link
    {
        QUrl url;
        QString text;        // its accessible name
        QRectF rect;         // of its first line, in item coordinates
        QList<QRectF> lines; // of every line it spans
    };
    // Every link of the text (neighbouring runs of one link count once).
    QList<Link> links() const;

    // Drops the text layout (it is made again when painted or asked).
    void releaseCaches() override;

    // Shows `text` instead and asks to be laid out again.
    void setAttributedText(AttributedText text);
    // Work that starts when the item is first laid out, never when it is built (its pictures
    // are made then, and load as they are laid out).
    void setFirstLayoutWork(std::function<void()> work);

    // The pictures of the text whose loads were asked for, in text order, kept for the item's
    // life: the document's view tells those whose place it shows. They are laid out with the
    // text, at its width, and loaded from then on.
    const std::vector<std::unique_ptr<InlinePicture>> &pictures() const { return m_pictures; }
    InlinePicture &addPicture(std::unique_ptr<InlinePicture> picture);
    // A picture shown in the text changed (its pixels were loaded again): asks to be laid out
    // and painted again.
    void pictureChanged() { setNeedsLayout(); }
    // The line that text position `position` stands on, in item coordinates, with the room
    // above its text that its pictures take; an empty rectangle at the top where the text has
    // no lines.
    QRectF lineRect(int position) const;

protected:
    QSizeF doLayout(qreal width) override;

private:
    AttributedText m_text;
    Options m_options;
    // One format over the whole text that sets only a font and a colour.
    bool isPlain() const;
    // Lays the text out in `layout` (which may have held other text) for `width`, its
    // pictures fitted to `fittingWidth` (by default `width`); the layout keeps its glyphs for
    // another layout where `keepGlyphs` says.
    void layOut(QTextLayout &layout, qreal width, bool keepGlyphs = false,
                std::optional<qreal> fittingWidth = std::nullopt) const;
    // The text as laid out: lines broken by line separators, pictures as the characters that
    // stand for them (PictureTextLayout).
    QString laidOutText() const;
    std::unique_ptr<QTextLayout> makeLayout(qreal width) const;
    const QTextLayout &textLayout() const;
    // The band of `line` of `layout`: the line with the room above its text that its pictures
    // take.
    QRectF lineBand(const QTextLayout &layout, const QTextLine &line) const;

    qreal m_width = 0;
    // The size at a width the text did not wrap at: the same at every width it fits.
    std::optional<QSizeF> m_unwrappedSize;
    qreal m_minimumWidth = -1; // its longest word; negative until laid out unbounded
    qreal m_firstLineRoom = 0;
    mutable std::unique_ptr<QTextLayout> m_layout;
    mutable std::optional<QColor> m_pen; // the colour of text laid out without formats
    std::function<void()> m_firstLayoutWork;
    // Each picture's load ends with it (its model is the load's context).
    std::vector<std::unique_ptr<InlinePicture>> m_pictures;
};

} // namespace tolvaran::markdown
