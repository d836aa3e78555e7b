#include "widgets/StatusDot.h"

#include <QPainter>

namespace tolvaran {

StatusDot::StatusDot(const QColor &color, int diameter, QWidget *parent)
    : QWidget(parent)
    , m_color(color)
{
    setObjectName(QStringLiteral("presenceDot"));
    setFixedSize(diameter, diameter);
    setProperty("dotColor", color);
}

void StatusDot::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_color);
    painter.drawEllipse(rect());
}

} // namespace tolvaran
