#include "markdown_view/items/TextItem.h"

#include "markdown_view/items/PictureTextLayout.h"

#include <QHash>
#include <QPainter>
#include <QTextBoundaryFinder>
#include <QTextLine>

#include <algorithm>
#include <cmath>
#include <vector>

namespace tolvaran::markdown {

void AttributedText::append(const QString &piece, const QTextCharFormat &format)
{
    if (piece.isEmpty())
        return;
    const int start = int(text.size());
    text.append(piece);
    if (!formats.isEmpty() && formats.last().format == format
        && formats.last().start + formats.last().length == start) {
        formats.last().length += int(piece.size());
        return;
    }
    formats.append({start, int(piece.size()), format});
}

void AttributedText::append(const AttributedText &other)
{
    const int offset = int(text.size());
    for (Image image : other.images) {
        image.position += offset;
        images.append(std::move(image));
    }
    for (const QTextLayout::FormatRange &range : other.formats)
        append(other.text.mid(range.start, range.length), range.format);
}

void AttributedText::appendImage(InlinePicture *picture, QSizeF size,
                                 const QTextCharFormat &around)
{
    // A no-break space in the text, a character as wide as the picture in its layout
    // (PictureTextLayout).
    images.append({int(text.size()), picture, size});
    append(QString(QChar::Nbsp), PictureTextLayout::pictureFormat(around, size));
}

namespace {

// Items measured with one text layout before it is made afresh.
constexpr int measuringLayoutUses = 1000;

bool isFontAndColorOnly(const QTextCharFormat &format)
{
    // Every format sets a letter spacing, since it takes all of its font's properties; only
    // an absolute one is of our own (an image's room, kerning, tracking).
    const bool spaced = format.fontLetterSpacingType() == QFont::AbsoluteSpacing
                        && format.fontLetterSpacing() != 0;
    return !format.isAnchor() && !format.hasProperty(QTextFormat::BackgroundBrush)
           && !format.fontStrikeOut() && !format.fontUnderline() && !spaced
           && !PictureTextLayout::isPicture(format);
}

// Runs of text at most this long are remembered, per thread, by their text and font.
constexpr qsizetype shortRunLength = 32;
// Short runs remembered on a thread before they are all forgotten.
constexpr qsizetype shortRunLimit = 4096;

// What the size of a run of text in one font depends on, where it does not wrap.
struct ShortRun
{
    QString text;
    QFont font;
    bool wraps = true;
    qreal lineSpacing = 0;
    friend bool operator==(const ShortRun &, const ShortRun &) = default;
};

size_t qHash(const ShortRun &run, size_t seed = 0) noexcept
{
    return qHashMulti(seed, run.text, run.font, run.wraps, run.lineSpacing);
}

struct RunSize
{
    QSizeF size;
    qreal minimumWidth = -1; // negative until laid out unbounded
};

// The sizes of short runs laid out on this thread where they did not wrap. A document
// repeats its short runs (list numbers, table cells, labels) many times, and laying out a
// few characters costs mostly what making any text layout costs.
QHash<ShortRun, RunSize> &shortRunSizes()
{
    thread_local QHash<ShortRun, RunSize> sizes;
    return sizes;
}

// Whether a line of `layout` ended short of a line feed (in `text`) other than the text's
// end: the text wrapped at that width.
bool wrapped(const QTextLayout &layout, const QString &text)
{
    for (int index = 0; index + 1 < layout.lineCount(); ++index) {
        const QTextLine line = layout.lineAt(index);
        const qsizetype end = line.textStart() + line.textLength();
        const bool atBreak = (end > 0 && text.at(end - 1) == QLatin1Char('\n'))
                             || (end < text.size() && text.at(end) == QLatin1Char('\n'));
        if (!atBreak)
            return true;
    }
    return false;
}

// QTextLayout looks for the end of a word from every line that starts inside it before it
// breaks it anywhere, so a word of n characters costs n squared over the line length: minutes
// for a minified line of a megabyte. Lines that start inside a word longer than this are laid
// out breaking anywhere, at the cost of the line alone.
constexpr qsizetype longWordLength = 256;

// The runs of `text` without a line break opportunity longer than longWordLength, in order,
// as [start, end).
std::vector<std::pair<int, int>> longWords(const QString &text)
{
    std::vector<std::pair<int, int>> words;
    if (text.size() <= longWordLength)
        return words;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, text);
    int start = 0;
    for (qsizetype end = finder.toNextBoundary(); end >= 0; end = finder.toNextBoundary()) {
        if (end - start > longWordLength)
            words.emplace_back(start, int(end));
        start = int(end);
    }
    return words;
}

// The least width that keeps every word of the text laid out in `layout` whole. QTextLayout
// breaks a word whose last letter reaches past the line (a bold "y" hangs a pixel beyond its
// advance), but counts advances alone in minimumWidth(); so the text is laid out again as
// narrow as it goes, a word to a line, where each line's natural width counts that overhang.
qreal wholeWordsWidth(QTextLayout &layout)
{
    // The glyphs the layout kept are laid out again, then dropped.
    layout.setCacheEnabled(false);
    QTextOption option = layout.textOption();
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    qreal widest = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(0);
        widest = std::max(widest, line.naturalTextWidth());
    }
    layout.endLayout();
    return widest;
}

} // namespace

TextItem::TextItem(AttributedText text, const Options &options)
    : m_text(std::move(text))
    , m_options(options)
{
}

QString TextItem::laidOutText() const
{
    // A line feed breaks the line only as a line separator, and a picture is the character
    // that stands for it; each is one unit long, so positions in the layout are positions in
    // the text.
    QString laidOut = m_text.text;
    laidOut.replace(QLatin1Char('\n'), QChar::LineSeparator);
    for (const AttributedText::Image &image : m_text.images)
        laidOut[image.position] = QChar(PictureTextLayout::standIn);
    return laidOut;
}

void TextItem::layOut(QTextLayout &layout, qreal width, bool keepGlyphs,
                      std::optional<qreal> fittingWidth) const
{
    const QString laidOut = laidOutText();
    layout.setText(laidOut);
    std::optional<PictureTextLayout> pictures;
    if (!m_text.images.isEmpty())
        pictures.emplace(m_text, fittingWidth.value_or(width));
    // Text in one format that only sets a font and a colour (most paragraphs) is laid out
    // without formats: each layout with formats builds a format collection of its own.
    if (isPlain()) {
        layout.setFont(m_text.formats[0].format.font());
        layout.clearFormats();
        if (m_text.formats[0].format.hasProperty(QTextFormat::ForegroundBrush))
            m_pen = m_text.formats[0].format.foreground().color();
    } else {
        layout.setFont(m_options.font);
        layout.setFormats(pictures ? pictures->formats() : m_text.formats);
    }
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    if (m_options.wraps) {
        // Nothing wraps at the unbounded width, but the layout then measures whole words: the
        // longest is the item's minimum width.
        option.setWrapMode(isUnbounded(width) ? QTextOption::WordWrap
                                              : QTextOption::WrapAtWordBoundaryOrAnywhere);
    }
    layout.setTextOption(option);
    // Without the cache the layout keeps its lines but drops its glyphs after laying out.
    layout.setCacheEnabled(keepGlyphs);
    QTextOption breakAnywhere = option;
    breakAnywhere.setWrapMode(QTextOption::WrapAnywhere);
    const std::vector<std::pair<int, int>> words = m_options.wraps && !isUnbounded(width)
                                                       ? longWords(laidOut)
                                                       : std::vector<std::pair<int, int>>();
    auto word = words.begin();
    qreal y = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        if (!m_options.wraps) {
            line.setNumColumns(int(m_text.text.size()));
        } else if (words.empty()) {
            line.setLineWidth(std::max<qreal>(1, width));
        } else {
            const int start = line.textStart();
            while (word != words.end() && word->second <= start)
                ++word;
            const bool inLongWord = word != words.end() && word->first <= start
                                    && word->second - start > longWordLength;
            layout.setTextOption(inLongWord ? breakAnywhere : option);
            line.setLineWidth(std::max<qreal>(1, width));
            if (inLongWord && line.textStart() + line.textLength() > word->second) {
                // The rest of the word fitted: what follows it wraps at word boundaries.
                layout.setTextOption(option);
                line.setLineWidth(std::max<qreal>(1, width));
            }
        }
        if (y > 0)
            y += m_options.lineSpacing;
        // Its pictures stand on its baseline, as it stands below the line before.
        if (pictures)
            y += pictures->roomAbove(line);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
    layout.setTextOption(option);
}

bool TextItem::isPlain() const
{
    return m_text.formats.size() == 1 && m_text.formats[0].length == m_text.text.size()
           && isFontAndColorOnly(m_text.formats[0].format);
}

std::unique_ptr<QTextLayout> TextItem::makeLayout(qreal width) const
{
    auto layout = std::make_unique<QTextLayout>();
    layOut(*layout, width);
    return layout;
}

const QTextLayout &TextItem::textLayout() const
{
    if (!m_layout)
        m_layout = makeLayout(m_width);
    return *m_layout;
}

void TextItem::releaseCaches()
{
    m_layout.reset();
}

void TextItem::setAttributedText(AttributedText text)
{
    m_text = std::move(text);
    m_layout.reset();
    m_pen.reset();
    m_unwrappedSize.reset();
    m_minimumWidth = -1;
    setNeedsLayout();
}

void TextItem::setFirstLayoutWork(std::function<void()> work)
{
    m_firstLayoutWork = std::move(work);
}

InlinePicture &TextItem::addPicture(std::unique_ptr<InlinePicture> picture)
{
    return *m_pictures.emplace_back(std::move(picture));
}

QRectF TextItem::lineRect(int position) const
{
    const QTextLayout &layout = textLayout();
    const QTextLine line = layout.lineForTextPosition(position);
    return line.isValid() ? lineBand(layout, line) : QRectF();
}

QRectF TextItem::lineBand(const QTextLayout &layout, const QTextLine &line) const
{
    if (m_text.images.isEmpty())
        return line.rect();
    // From where the line before ends (and its spacing), over the room left for pictures.
    qreal top = 0;
    if (line.lineNumber() > 0) {
        const QTextLine before = layout.lineAt(line.lineNumber() - 1);
        top = std::min(line.y(), before.y() + before.height() + m_options.lineSpacing);
    }
    return {line.x(), top, line.width(), line.y() + line.height() - top};
}

QSizeF TextItem::doLayout(qreal width)
{
    if (m_firstLayoutWork)
        std::exchange(m_firstLayoutWork, {})();
    // Before the text, whose pictures take the room they were laid out at.
    for (const std::unique_ptr<InlinePicture> &picture : m_pictures)
        picture->layout(width);
    m_width = width;
    m_layout.reset();
    if (m_text.isEmpty()) {
        m_firstLineRoom = 0;
        return {0, 0};
    }
    // Text that did not have to wrap lays out the same at any width it fits: a table cell is
    // measured for its natural width first, then laid out again at its column's.
    const bool unbounded = isUnbounded(width);
    const auto fits = [&](const QSizeF &size) {
        return (!m_options.wraps || width >= size.width()) && (!unbounded || m_minimumWidth >= 0);
    };
    if (m_unwrappedSize && fits(*m_unwrappedSize))
        return *m_unwrappedSize;
    std::optional<ShortRun> run;
    if (m_text.text.size() <= shortRunLength && m_text.images.isEmpty() && isPlain()) {
        run = ShortRun{m_text.text, m_text.formats[0].format.font(), m_options.wraps,
                       m_options.lineSpacing};
        const auto known = shortRunSizes().constFind(*run);
        if (known != shortRunSizes().constEnd()) {
            m_unwrappedSize = known->size;
            m_minimumWidth = std::max(m_minimumWidth, known->minimumWidth);
            if (fits(known->size))
                return known->size;
        }
    }
    // Measured with a layout of this thread's that the next item measured uses again: only
    // the items painted keep a layout of their own, so a long document does not hold one for
    // every paragraph, and making a layout costs locks that every thread laying out shares.
    // It is made afresh now and then, since its format collection keeps every format it saw.
    struct MeasuringLayout
    {
        std::unique_ptr<QTextLayout> layout;
        int uses = 0;
    };
    thread_local MeasuringLayout measuring;
    if (!measuring.layout || ++measuring.uses > measuringLayoutUses) {
        measuring.layout = std::make_unique<QTextLayout>();
        measuring.uses = 0;
    }
    QTextLayout &layout = *measuring.layout;
    // Measured unbounded, the text is laid out again at once for its words (see
    // wholeWordsWidth): the glyphs are kept for it.
    layOut(layout, width, m_options.wraps && unbounded);
    // The first line stands below the room its pictures take.
    m_firstLineRoom = layout.lineCount() > 0 ? layout.lineAt(0).y() : 0;
    qreal used = 0;
    qreal bottom = 0;
    for (int index = 0; index < layout.lineCount(); ++index) {
        const QTextLine line = layout.lineAt(index);
        used = std::max(used, line.naturalTextWidth());
        bottom = line.y() + line.height();
    }
    const QSizeF size(std::ceil(used), std::ceil(bottom));
    const bool unwrapped = !m_options.wraps || unbounded || !wrapped(layout, m_text.text);
    if (!m_options.wraps) {
        m_minimumWidth = size.width();
    } else if (unbounded) {
        // A picture is no word: it shrinks to any width (as a block picture does).
        if (!m_text.images.isEmpty())
            layOut(layout, width, true, 0);
        m_minimumWidth = std::ceil(wholeWordsWidth(layout));
    }
    if (unwrapped) {
        m_unwrappedSize = size;
        if (run) {
            if (shortRunSizes().size() >= shortRunLimit)
                shortRunSizes().clear();
            shortRunSizes().insert(*run, {size, m_minimumWidth});
        }
    }
    return size;
}

void TextItem::paint(const PaintContext &context, const QPointF &origin) const
{
    if (m_text.isEmpty())
        return;
    QVector<QTextLayout::FormatRange> selections;
    const auto [start, end] = paintedSelection(context);
    if (start != end) {
        QTextCharFormat format;
        format.setBackground(context.palette.brush(QPalette::Highlight));
        // The characters that pictures stand on keep their lack of colour.
        QTextCharFormat behindPicture = format;
        format.setForeground(context.palette.brush(QPalette::HighlightedText));
        int from = start;
        for (const AttributedText::Image &image : m_text.images) {
            if (image.position < from || image.position >= end)
                continue;
            if (image.position > from)
                selections.append({from, image.position - from, format});
            selections.append({image.position, 1, behindPicture});
            from = image.position + 1;
        }
        if (end > from)
            selections.append({from, end - from, format});
    }
    const QTextLayout &layout = textLayout();
    QPainter &painter = *context.painter;
    painter.setPen(m_pen.value_or(context.palette.color(QPalette::WindowText)));
    layout.draw(&painter, origin, selections, context.exposed.translated(origin));
    // Each picture stands on its line's baseline, as tall as its object.
    for (const AttributedText::Image &image : m_text.images) {
        const QTextLine line = layout.lineForTextPosition(image.position);
        if (!line.isValid())
            continue;
        const QPointF at(line.cursorToX(image.position),
                         line.y() + line.ascent() - image.picture->size().height());
        image.picture->paint(context, origin + at);
    }
}

int TextItem::positionAt(const QPointF &point)
{
    const QTextLayout &layout = textLayout();
    if (layout.lineCount() == 0)
        return 0;
    QTextLine line = layout.lineAt(0);
    for (int index = 0; index < layout.lineCount(); ++index) {
        line = layout.lineAt(index);
        if (point.y() < line.rect().bottom())
            break;
    }
    return line.xToCursor(point.x());
}

QUrl TextItem::linkAt(const QPointF &point) const
{
    const QTextLayout &layout = textLayout();
    for (int index = 0; index < layout.lineCount(); ++index) {
        const QTextLine line = layout.lineAt(index);
        if (!lineBand(layout, line).contains(point))
            continue;
        const int position = line.xToCursor(point.x(), QTextLine::CursorOnCharacter);
        if (point.x() > line.naturalTextWidth())
            return {};
        for (const QTextLayout::FormatRange &range : m_text.formats) {
            if (position >= range.start && position < range.start + range.length
                && range.format.isAnchor())
                return QUrl(range.format.anchorHref());
        }
    }
    return {};
}

QList<TextItem::Link> TextItem::links() const
{
    QList<Link> result;
    const QTextLayout &layout = textLayout();
    // The part of each line that [start, end) covers.
    const auto lineRects = [&](int start, int end) {
        QList<QRectF> rects;
        for (QTextLine line = layout.lineForTextPosition(start);
             line.isValid() && line.textStart() < end;
             line = layout.lineAt(line.lineNumber() + 1)) {
            const int lineEnd = line.textStart() + line.textLength();
            const qreal left = line.cursorToX(std::max(start, line.textStart()));
            const qreal right = line.cursorToX(std::min(end, lineEnd));
            const QRectF band = lineBand(layout, line);
            rects.append(QRectF(left, band.top(), right - left, band.height()));
            if (line.lineNumber() + 1 >= layout.lineCount())
                break;
        }
        return rects;
    };
    int end = -1; // where the last link's runs end
    for (const QTextLayout::FormatRange &range : m_text.formats) {
        if (!range.format.isAnchor())
            continue;
        const QUrl url(range.format.anchorHref());
        const QString piece = m_text.text.mid(range.start, range.length);
        if (!result.isEmpty() && result.last().url == url && end == range.start) {
            result.last().text += piece;
            for (const QRectF &rect : lineRects(range.start, range.start + range.length)) {
                // A run that goes on along the same line widens the line's rectangle.
                QList<QRectF> &lines = result.last().lines;
                if (!lines.isEmpty() && lines.last().top() == rect.top())
                    lines.last() = lines.last().united(rect);
                else
                    lines.append(rect);
            }
            end = range.start + range.length;
            continue;
        }
        const QList<QRectF> lines = lineRects(range.start, range.start + range.length);
        result.append({url, piece, lines.value(0), lines});
        end = range.start + range.length;
    }
    return result;
}

} // namespace tolvaran::markdown
