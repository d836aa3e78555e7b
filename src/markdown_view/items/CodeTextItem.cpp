#include "markdown_view/items/CodeTextItem.h"

#include "markdown_view/theme/CodeSyntaxHighlighter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLine>

#include <algorithm>
#include <cmath>

namespace tolvaran::markdown {

CodeTextItem::CodeTextItem(const QString &code, const QTextCharFormat &format,
                           QList<QTextLayout::FormatRange> highlights, qreal lineSpacing,
                           bool selectable)
    : m_code(code)
    , m_format(format)
    , m_highlights(std::move(highlights))
    , m_font(format.font())
    , m_lineSpacing(lineSpacing)
    , m_selectable(selectable)
{
    m_lineStarts.push_back(0);
    for (qsizetype index = m_code.indexOf(QLatin1Char('\n')); index >= 0;
         index = m_code.indexOf(QLatin1Char('\n'), index + 1))
        m_lineStarts.push_back(index + 1);
    m_lineHeight = QFontMetricsF(m_font).height();
}

qsizetype CodeTextItem::lineLength(qsizetype line) const
{
    const qsizetype end = line + 1 < lineCount() ? lineStart(line + 1) - 1 : m_code.size();
    return end - lineStart(line);
}

qsizetype CodeTextItem::laidOutPieceCount() const
{
    qsizetype count = 0;
    for (const auto &[index, line] : m_lines)
        count += qsizetype(line.pieces.size());
    return count;
}

QSizeF CodeTextItem::doLayout(qreal)
{
    // The width of the longest line, measured once in one piece: an estimate for lines of
    // mixed scripts, exact for the code's usual characters.
    qsizetype longest = 0;
    for (qsizetype line = 0; line < lineCount(); ++line) {
        if (lineLength(line) > lineLength(longest))
            longest = line;
    }
    const QFontMetricsF metrics(m_font);
    qreal width = 0;
    const qsizetype length = lineLength(longest);
    if (length <= pieceLength) {
        width = metrics.horizontalAdvance(m_code.mid(lineStart(longest), length));
    } else {
        width = metrics.horizontalAdvance(m_code.mid(lineStart(longest), pieceLength))
                * qreal(length) / pieceLength;
    }
    const qreal height = lineCount() * pitch() - m_lineSpacing;
    return {std::ceil(width), std::ceil(height)};
}

CodeTextItem::Line &CodeTextItem::lineThrough(qsizetype line, qreal right) const
{
    if (m_lines.size() > std::size_t(cachedLineLimit) && !m_lines.contains(line))
        m_lines.clear();
    Line &entry = m_lines[line];
    const qsizetype start = lineStart(line);
    const qsizetype length = lineLength(line);
    qsizetype done = 0;
    qreal x = 0;
    if (!entry.pieces.empty()) {
        const Piece &last = entry.pieces.back();
        for (const Piece &piece : entry.pieces)
            done += piece.layout->text().size();
        x = last.x + last.width;
    }
    while (done < length && x <= right) {
        qsizetype count = std::min<qsizetype>(pieceLength, length - done);
        // Never split a surrogate pair between two pieces.
        if (done + count < length && m_code[start + done + count - 1].isHighSurrogate())
            ++count;
        auto layout = std::make_unique<QTextLayout>(m_code.mid(start + done, count), m_font);
        QTextOption option;
        option.setWrapMode(QTextOption::NoWrap);
        layout->setTextOption(option);
        layout->setFormats(formatsOf(start + done, count));
        layout->beginLayout();
        QTextLine textLine = layout->createLine();
        textLine.setNumColumns(int(count));
        textLine.setPosition(QPointF(0, 0));
        layout->endLayout();
        const qreal width = textLine.horizontalAdvance();
        entry.pieces.push_back({std::move(layout), x, width});
        x += width;
        done += count;
    }
    return entry;
}

QList<QTextLayout::FormatRange> CodeTextItem::formatsOf(qsizetype start, qsizetype count) const
{
    QList<QTextLayout::FormatRange> result;
    qsizetype at = start;
    const qsizetype end = start + count;
    // The first highlight that may reach into the range.
    auto next = std::lower_bound(m_highlights.begin(), m_highlights.end(), start,
                                 [](const QTextLayout::FormatRange &range, qsizetype position) {
                                     return range.start + range.length <= position;
                                 });
    for (; next != m_highlights.end() && next->start < end; ++next) {
        const qsizetype from = std::max<qsizetype>(next->start, start);
        const qsizetype to = std::min<qsizetype>(next->start + next->length, end);
        if (from > at)
            result.append({int(at - start), int(from - at), m_format});
        if (to > from) {
            QTextCharFormat merged = m_format;
            merged.merge(next->format);
            result.append({int(from - start), int(to - from), merged});
            at = to;
        }
    }
    if (at < end)
        result.append({int(at - start), int(end - at), m_format});
    return result;
}

QTextCharFormat CodeTextItem::formatAt(qsizetype position) const
{
    const QList<QTextLayout::FormatRange> formats = formatsOf(position, 1);
    return formats.isEmpty() ? m_format : formats.first().format;
}

void CodeTextItem::paint(const PaintContext &context, const QPointF &origin) const
{
    const QRectF exposed = context.exposed.intersected(QRectF(QPointF(), size()));
    if (exposed.isEmpty() || lineCount() == 0)
        return;
    const qsizetype first = std::clamp<qsizetype>(qsizetype(exposed.top() / pitch()), 0,
                                                  lineCount() - 1);
    const qsizetype last = std::clamp<qsizetype>(qsizetype(exposed.bottom() / pitch()), 0,
                                                 lineCount() - 1);
    const auto [selectionStart, selectionEnd] = paintedSelection(context);
    QPainter &painter = *context.painter;
    painter.setPen(context.palette.color(QPalette::WindowText));
    for (qsizetype line = first; line <= last; ++line) {
        const Line &entry = lineThrough(line, exposed.right());
        qsizetype pieceStart = lineStart(line);
        for (const Piece &piece : entry.pieces) {
            const qsizetype length = piece.layout->text().size();
            if (piece.x > exposed.right())
                break;
            if (piece.x + piece.width >= exposed.left()) {
                QVector<QTextLayout::FormatRange> selections;
                const qsizetype from = std::max<qsizetype>(selectionStart, pieceStart);
                const qsizetype to = std::min<qsizetype>(selectionEnd, pieceStart + length);
                if (from < to) {
                    QTextCharFormat format;
                    format.setBackground(context.palette.brush(QPalette::Highlight));
                    format.setForeground(context.palette.brush(QPalette::HighlightedText));
                    selections.append({int(from - pieceStart), int(to - from), format});
                }
                piece.layout->draw(&painter, origin + QPointF(piece.x, line * pitch()),
                                   selections);
            }
            pieceStart += length;
        }
    }
}

int CodeTextItem::positionAt(const QPointF &point)
{
    if (lineCount() == 0)
        return 0;
    const qsizetype line =
        std::clamp<qsizetype>(qsizetype(point.y() / pitch()), 0, lineCount() - 1);
    const Line &entry = lineThrough(line, point.x());
    qsizetype position = lineStart(line);
    for (const Piece &piece : entry.pieces) {
        if (point.x() < piece.x + piece.width) {
            const QTextLine textLine = piece.layout->lineAt(0);
            return int(position + textLine.xToCursor(point.x() - piece.x));
        }
        position += piece.layout->text().size();
    }
    return int(position);
}

View codeText(const QString &code, const std::optional<QString> &language)
{
    return [code, language](const StyleContext &context) {
        static const PlainTextCodeSyntaxHighlighter plainText;
        const CodeSyntaxHighlighter &highlighter =
            context.codeSyntaxHighlighter ? *context.codeSyntaxHighlighter : plainText;
        return BlockItemPointer(std::make_unique<CodeTextItem>(
            code, characterFormat(context.attributes(), context.colorScheme),
            highlighter.highlightCode(code, language), context.lineSpacing,
            context.textSelectionEnabled));
    };
}

} // namespace tolvaran::markdown
