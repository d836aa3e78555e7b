#include "markdown_view/theme/ListMarkers.h"

#include "markdown_view/items/TextItem.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <array>

namespace tolvaran::markdown {

namespace {

constexpr qreal markerMinimumWidthEm = 1.5;

View framedMarker(View marker)
{
    return views::minimumWidth(std::move(marker), RelativeSize::em(markerMinimumWidthEm),
                               Qt::AlignRight);
}

qreal lineHeight(const StyleContext &context)
{
    // The font of the format shared per thread: a font made afresh is looked up again in
    // the font database, under a lock that every thread laying out shares.
    return QFontMetricsF(characterFormat(context.attributes(), context.colorScheme).font())
        .height();
}

// A third of the text size, as a symbol beside text is drawn.
View bullet(SymbolItem::Shape shape)
{
    return [shape](const StyleContext &context) {
        const FontProperties font = *context.attributes().fontProperties;
        const qreal glyph = wholePoints(font.scaledSize() / 3.0);
        return BlockItemPointer(std::make_unique<SymbolItem>(shape, glyph, lineHeight(context),
                                                             std::nullopt, QString()));
    };
}

} // namespace

QString romanNumeral(int number)
{
    if (number < 1 || number > 3999)
        return QString::number(number);
    static constexpr std::array<std::pair<int, const char *>, 13> numerals{{
        {1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"}, {90, "XC"}, {50, "L"},
        {40, "XL"}, {10, "X"}, {9, "IX"}, {5, "V"}, {4, "IV"}, {1, "I"},
    }};
    QString result;
    for (const auto &[value, symbol] : numerals) {
        while (number >= value) {
            result += QLatin1String(symbol);
            number -= value;
        }
    }
    return result;
}

View plainText(const QString &text)
{
    return [text](const StyleContext &context) {
        const QTextCharFormat format = characterFormat(context.attributes(), context.colorScheme);
        AttributedText attributed;
        attributed.append(text, format);
        // Every member given, as for running text (a default font costs a shared lock).
        const TextItem::Options options{.font = format.font(),
                                        .lineSpacing = 0,
                                        .wraps = false,
                                        .selectable = false,
                                        .accessibleName = QString()};
        return BlockItemPointer(std::make_unique<TextItem>(attributed, options));
    };
}

SymbolItem::SymbolItem(Shape shape, qreal glyphSize, qreal lineHeight,
                       std::optional<QColor> color, const QString &accessibleName)
    : m_shape(shape)
    , m_glyphSize(glyphSize)
    , m_lineHeight(lineHeight)
    , m_color(std::move(color))
    , m_accessibleName(accessibleName)
{
}

QSizeF SymbolItem::doLayout(qreal)
{
    return {m_glyphSize, std::max(m_glyphSize, m_lineHeight)};
}

void SymbolItem::paint(const PaintContext &context, const QPointF &origin) const
{
    QPainter &painter = *context.painter;
    const QColor color = m_color.value_or(context.palette.color(QPalette::WindowText));
    const QRectF box(origin.x(), origin.y() + (size().height() - m_glyphSize) / 2, m_glyphSize,
                     m_glyphSize);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal stroke = std::max<qreal>(1, m_glyphSize / 10);
    const QRectF inset = box.adjusted(stroke / 2, stroke / 2, -stroke / 2, -stroke / 2);
    switch (m_shape) {
    case Shape::filledCircle:
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawEllipse(box);
        break;
    case Shape::circle:
        painter.setPen(QPen(color, stroke));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(inset);
        break;
    case Shape::filledSquare:
        painter.fillRect(box, color);
        break;
    case Shape::emptyBox:
        painter.setPen(QPen(color, stroke));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(inset, m_glyphSize / 5, m_glyphSize / 5);
        break;
    case Shape::checkedBox: {
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawRoundedRect(box, m_glyphSize / 5, m_glyphSize / 5);
        QPainterPath tick;
        tick.moveTo(box.left() + box.width() * 0.25, box.top() + box.height() * 0.52);
        tick.lineTo(box.left() + box.width() * 0.43, box.top() + box.height() * 0.70);
        tick.lineTo(box.left() + box.width() * 0.76, box.top() + box.height() * 0.32);
        painter.setPen(QPen(context.palette.color(QPalette::Base), stroke * 1.5, Qt::SolidLine,
                            Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(tick);
        break;
    }
    }
    painter.restore();
}

View symbol(SymbolItem::Shape shape, qreal sizeFactor, std::optional<Color> color,
            const QString &accessibleName)
{
    return [=](const StyleContext &context) {
        const FontProperties font = *context.attributes().fontProperties;
        const qreal glyph = wholePoints(font.scaledSize() * sizeFactor);
        std::optional<QColor> resolved;
        if (color)
            resolved = color->resolved(context.colorScheme);
        return BlockItemPointer(std::make_unique<SymbolItem>(shape, glyph, lineHeight(context),
                                                             resolved, accessibleName));
    };
}

namespace markers {

BlockStyle<ListMarkerConfiguration> decimal()
{
    return [](const ListMarkerConfiguration &configuration) {
        return framedMarker(views::textStyle(
            plainText(QString::number(configuration.itemNumber) + QLatin1Char('.')),
            FontDigitVariant{FontProperties::DigitVariant::monospaced}));
    };
}

BlockStyle<ListMarkerConfiguration> upperRoman()
{
    return [](const ListMarkerConfiguration &configuration) {
        return framedMarker(plainText(romanNumeral(configuration.itemNumber) + QLatin1Char('.')));
    };
}

BlockStyle<ListMarkerConfiguration> lowerRoman()
{
    return [](const ListMarkerConfiguration &configuration) {
        return framedMarker(
            plainText(romanNumeral(configuration.itemNumber).toLower() + QLatin1Char('.')));
    };
}

BlockStyle<ListMarkerConfiguration> dash()
{
    return [](const ListMarkerConfiguration &) {
        return framedMarker(plainText(QStringLiteral("-")));
    };
}

BlockStyle<ListMarkerConfiguration> disc()
{
    return [](const ListMarkerConfiguration &) {
        return framedMarker(bullet(SymbolItem::Shape::filledCircle));
    };
}

BlockStyle<ListMarkerConfiguration> circle()
{
    return [](const ListMarkerConfiguration &) {
        return framedMarker(bullet(SymbolItem::Shape::circle));
    };
}

BlockStyle<ListMarkerConfiguration> square()
{
    return [](const ListMarkerConfiguration &) {
        return framedMarker(bullet(SymbolItem::Shape::filledSquare));
    };
}

BlockStyle<ListMarkerConfiguration> discCircleSquare()
{
    return [](const ListMarkerConfiguration &configuration) {
        static const std::array<BlockStyle<ListMarkerConfiguration>, 3> styles{disc(), circle(),
                                                                                square()};
        const int index = std::clamp(configuration.listLevel, 1, 3) - 1;
        return styles[std::size_t(index)](configuration);
    };
}

BlockStyle<TaskListMarkerConfiguration> checkmarkSquare()
{
    return [](const TaskListMarkerConfiguration &configuration) {
        const View box = [completed = configuration.isCompleted](const StyleContext &context) {
            const FontProperties font = *context.attributes().fontProperties;
            // A small symbol: three quarters of the text size.
            const qreal glyph = wholePoints(font.scaledSize() * 0.75);
            QColor color = context.attributes().foregroundColor
                               ? context.attributes().foregroundColor->resolved(
                                     context.colorScheme)
                               : context.defaultForeground;
            if (!completed)
                color.setAlphaF(color.alphaF() * 0.6f);
            return BlockItemPointer(std::make_unique<SymbolItem>(
                completed ? SymbolItem::Shape::checkedBox : SymbolItem::Shape::emptyBox, glyph,
                lineHeight(context), color,
                completed ? QStringLiteral("Completed") : QStringLiteral("Not completed")));
        };
        return framedMarker(box);
    };
}

} // namespace markers

} // namespace tolvaran::markdown
