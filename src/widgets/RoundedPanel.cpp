#include "widgets/RoundedPanel.h"

#include "widgets/SystemColors.h"

#include <QPainter>
#include <QPainterPath>

namespace tolvaran {

RoundedPanel::RoundedPanel(double cornerRadius, QWidget *parent)
    : QWidget(parent)
    , m_cornerRadius(cornerRadius)
{
}

void RoundedPanel::setFill(const QColor &color)
{
    m_fill = color;
    update();
}

void RoundedPanel::setStroke(const std::optional<QColor> &color)
{
    m_stroke = color;
    update();
}

void RoundedPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    path.addRoundedRect(bounds, m_cornerRadius, m_cornerRadius);
    painter.fillPath(path, m_fill.value_or(SystemColors::controlBackground(palette())));
    if (m_stroke) {
        painter.setPen(QPen(*m_stroke, 1.0));
        painter.drawPath(path);
    }
}

} // namespace tolvaran
