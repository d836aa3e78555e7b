#include "markdown_view/items/PictureTextLayout.h"

#include "markdown_view/ResizeToFit.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextObjectInterface>

namespace tolvaran::markdown {

// The handler of the document's pictures: their size, fitted to the width laid out for.
class PictureTextLayout::Pictures final : public QObject, public QTextObjectInterface
{
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    QSizeF intrinsicSize(QTextDocument *, int, const QTextFormat &format) override
    {
        return resizedToFit(format.property(pictureSizeProperty).toSizeF(), fittingWidth);
    }
    void drawObject(QPainter *, const QRectF &, QTextDocument *, int, const QTextFormat &) override
    {
    }

    qreal fittingWidth = 0;
};

PictureTextLayout::PictureTextLayout(const QString &text, const QFont &font)
    : m_document(std::make_unique<QTextDocument>())
    , m_pictures(std::make_unique<Pictures>())
{
    m_document->setUndoRedoEnabled(false);
    m_document->setDefaultFont(font);
    // The text is drawn where its item stands, not inside a document's margin.
    m_document->setDocumentMargin(0);
    m_document->documentLayout()->registerHandler(pictureObjectType, m_pictures.get());
    QTextCursor(m_document.get()).insertText(text);
}

PictureTextLayout::~PictureTextLayout()
{
    // The document's layout forgets its handler when the handler goes.
    m_document.reset();
}

QTextLayout &PictureTextLayout::layout(qreal fittingWidth)
{
    m_pictures->fittingWidth = fittingWidth;
    QTextLayout &layout = *m_document->firstBlock().layout();
    // The document's own layout places its block; the item draws it at its own origin.
    layout.setPosition(QPointF());
    return layout;
}

} // namespace tolvaran::markdown

#include "PictureTextLayout.moc"
