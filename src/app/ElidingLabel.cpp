#include "app/ElidingLabel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

namespace tolvaran {

ElidingLabel::ElidingLabel(Qt::TextElideMode mode, QWidget *parent)
    : QWidget(parent)
    , m_mode(mode)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void ElidingLabel::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    updateGeometry();
    update();
}

void ElidingLabel::setTextColor(const std::optional<QColor> &color)
{
    if (color == m_color)
        return;
    m_color = color;
    update();
}

QColor ElidingLabel::textColor() const
{
    return m_color.value_or(palette().color(QPalette::WindowText));
}

QSize ElidingLabel::sizeHint() const
{
    const QFontMetrics metrics(font());
    return QSize(metrics.horizontalAdvance(m_text) + 1, metrics.height());
}

QSize ElidingLabel::minimumSizeHint() const
{
    const QFontMetrics metrics(font());
    return QSize(metrics.horizontalAdvance(QStringLiteral("...")) + 1, metrics.height());
}

void ElidingLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(textColor());
    const QFontMetrics metrics(font());
    // Line breaks in outside text would otherwise be drawn as nothing at all.
    QString line = m_text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     metrics.elidedText(line, m_mode, width()));
}

void ElidingLabel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange)
        updateGeometry();
    QWidget::changeEvent(event);
}

} // namespace tolvaran
