#include "app/cards/TokenUsageSparklineView.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace tolvaran {

TokenUsageSparklineView::TokenUsageSparklineView(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(preferredWidth, preferredHeight);
}

void TokenUsageSparklineView::setPoints(QList<qint64> points)
{
    m_points = std::move(points);
    update();
}

QList<QPointF> TokenUsageSparklineView::linePoints(const QList<qint64> &values, QSizeF size)
{
    if (values.size() < 2)
        return {};
    const qint64 maximum = *std::max_element(values.cbegin(), values.cend());
    if (maximum < 1)
        return {};
    const double width = size.width();
    const double height = size.height();
    const double last = double(values.size() - 1);
    QList<QPointF> line;
    line.reserve(values.size());
    for (qsizetype i = 0; i < values.size(); ++i) {
        const double x = 1.0 + (width - 2.0) * double(i) / last;
        const double y = (height - 2.0) - (height - 4.0) * double(values[i]) / double(maximum);
        line.append(QPointF(x, y));
    }
    return line;
}

void TokenUsageSparklineView::paintEvent(QPaintEvent *)
{
    const QList<QPointF> line = linePoints(m_points, QSizeF(size()));
    if (line.isEmpty())
        return;
    QPainterPath path(line.first());
    for (qsizetype i = 1; i < line.size(); ++i)
        path.lineTo(line[i]);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Highlight), lineWidth, Qt::SolidLine,
                        Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

} // namespace tolvaran
