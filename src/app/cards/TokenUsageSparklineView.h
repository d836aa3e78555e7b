#pragma once

#include <QList>
#include <QPointF>
#include <QSizeF>
#include <QWidget>

namespace tolvaran {

// The small line chart of recent token usage in the browser's header: one point per value,
// left to right, the largest value near the top.
class TokenUsageSparklineView final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int preferredWidth = 92;
    static constexpr int preferredHeight = 24;
    static constexpr double lineWidth = 1.8;

    explicit TokenUsageSparklineView(QWidget *parent = nullptr);

    const QList<qint64> &points() const { return m_points; }
    // Replaces every point and repaints.
    void setPoints(QList<qint64> points);

    // Where the line passes in a view of `size`: point i of n lies at
    // x = 1 + (w - 2) * i / (n - 1), y = (h - 2) - (h - 4) * value / max. Empty (nothing is
    // drawn) unless there are at least two values and the largest is at least 1.
    static QList<QPointF> linePoints(const QList<qint64> &values, QSizeF size);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<qint64> m_points;
};

} // namespace tolvaran
