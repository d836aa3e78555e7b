#pragma once

#include "markdown_view/items/BlockItem.h"
#include "markdown_view/View.h"

#include <QFont>
#include <QTextCharFormat>
#include <QTextLayout>

#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace tolvaran::markdown {

// The lines of a code block, never wrapped. Only what is in view is laid out: lines one by
// one as they come into view, and a long line in pieces from its start as far as the view
// reaches, so a block of a million characters or a line of a hundred thousand costs what
// shows. Its height comes from the line count; its width from the longest line.
class CodeTextItem final : public SelectableText
{
public:
    // Pieces of a long line are laid out separately, this many characters each.
    static constexpr int pieceLength = 2048;
    // Lines laid out and kept at most; the ones out of view are dropped beyond it.
    static constexpr int cachedLineLimit = 4096;

    // `highlights`: ranges whose formats are merged over `format` (see CodeSyntaxHighlighter).
    CodeTextItem(const QString &code, const QTextCharFormat &format,
                 QList<QTextLayout::FormatRange> highlights, qreal lineSpacing, bool selectable);

    const QString &text() const override { return m_code; }
    bool isSelectable() const override { return m_selectable; }
    qsizetype lineCount() const { return qsizetype(m_lineStarts.size()); }
    // How many pieces of lines are laid out now (what the view has shown so far).
    qsizetype laidOutPieceCount() const;
    // The format of the character at `position`, as it is drawn.
    QTextCharFormat formatAt(qsizetype position) const;

    void paint(const PaintContext &context, const QPointF &origin) const override;
    int positionAt(const QPointF &point) override;
    QUrl linkAt(const QPointF &) const override { return {}; }
    void releaseCaches() override { m_lines.clear(); }

protected:
    QSizeF doLayout(qreal width) override;

private:
    struct Piece
    {
        std::unique_ptr<QTextLayout> layout;
        qreal x = 0;
        qreal width = 0;
    };
    struct Line
    {
        std::vector<Piece> pieces;
    };

    qsizetype lineStart(qsizetype line) const { return m_lineStarts[std::size_t(line)]; }
    qsizetype lineLength(qsizetype line) const;
    // The line's pieces laid out until they reach `right` (or the line's end).
    Line &lineThrough(qsizetype line, qreal right) const;
    qreal pitch() const { return m_lineHeight + m_lineSpacing; }

    // The formats of the characters [start, start + count), from `start` on.
    QList<QTextLayout::FormatRange> formatsOf(qsizetype start, qsizetype count) const;

    QString m_code;
    QTextCharFormat m_format;
    QList<QTextLayout::FormatRange> m_highlights;
    QFont m_font;
    qreal m_lineSpacing;
    bool m_selectable;
    qreal m_lineHeight = 0;
    std::vector<qsizetype> m_lineStarts;
    mutable std::unordered_map<qsizetype, Line> m_lines;
};

// The code as it is, in the font and colour of the text style in force, without wrapping,
// coloured by the context's highlighter.
View codeText(const QString &code, const std::optional<QString> &language);

} // namespace tolvaran::markdown
