#include "widgets/BrowserStyle.h"

#include "widgets/SystemColors.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWidget>

namespace tolvaran::BrowserStyle {

namespace {

// The colour the style fills a pressed-in button of `palette`'s `group` with. Styles do not
// paint the button colour as it is (Fusion lightens and greys it), so the words on it are
// judged against what is drawn.
QColor drawnButtonFill(const QWidget *button, QPalette palette, QPalette::ColorGroup group)
{
    constexpr int side = 32;
    palette.setCurrentColorGroup(group);
    QStyleOptionButton option;
    option.initFrom(button);
    option.palette = palette;
    option.rect = QRect(0, 0, side, side);
    option.state |= QStyle::State_On | QStyle::State_Enabled;
    if (group == QPalette::Active)
        option.state |= QStyle::State_Active;
    else
        option.state &= ~QStyle::State_Active;
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(palette.color(group, QPalette::Window));
    QPainter painter(&image);
    button->style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &option, &painter, button);
    painter.end();
    return image.pixelColor(side / 2, side / 2);
}

} // namespace

ScaledFont systemFont(int designPixelSize, QFont::Weight weight)
{
    return {designPixelSize, weight, ScaledFont::Face::system};
}

ScaledFont monospacedDigitFont(int designPixelSize, QFont::Weight weight)
{
    // The desktop's usual sans fonts (DejaVu, Cantarell, Noto) draw digits of one width
    // already; Qt 6.4 cannot ask a font for tabular figures.
    return systemFont(designPixelSize, weight);
}

ScaledFont monospacedFont(int designPixelSize, QFont::Weight weight)
{
    return {designPixelSize, weight, ScaledFont::Face::monospaced};
}

QColor secondaryLabelColor(const QPalette &palette)
{
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(static_cast<float>(secondaryLabelOpacity));
    return color;
}

QColor tertiaryLabelColor(const QPalette &palette)
{
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(0.42f);
    return color;
}

QColor underPageBackgroundColor(const QPalette &palette)
{
    return palette.color(QPalette::Window).darker(108);
}

void setTextColor(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

void setTextColorOnSelection(QWidget *widget, bool secondary)
{
    QPalette palette = widget->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        const QColor highlight = palette.color(group, QPalette::Highlight);
        QColor text =
            SystemColors::readableOn(palette.color(group, QPalette::HighlightedText), highlight);
        if (secondary)
            text = SystemColors::fadedOn(text, highlight, secondaryLabelOpacity);
        palette.setColor(group, QPalette::WindowText, text);
        palette.setColor(group, QPalette::Text, text);
    }
    widget->setPalette(palette);
}

void setBackgroundColor(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void setSelectedLook(QWidget *button, bool selected)
{
    if (!selected) {
        button->setPalette(QPalette());
        return;
    }
    QPalette palette = button->palette();
    palette.setColor(QPalette::Button, palette.color(QPalette::Active, QPalette::Highlight));
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::ButtonText,
                         SystemColors::readableOn(
                             palette.color(QPalette::Active, QPalette::HighlightedText),
                             drawnButtonFill(button, palette, group)));
    }
    button->setPalette(palette);
}

} // namespace tolvaran::BrowserStyle
