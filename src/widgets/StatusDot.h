#pragma once

#include <QColor>
#include <QWidget>

namespace tolvaran {

// A filled circle in one colour: a person's or a device's presence beside its name. Named
// "presenceDot", with the colour in its "dotColor" property, so that a caller can tell the
// dots of a list apart without reading pixels.
class StatusDot final : public QWidget
{
    Q_OBJECT

public:
    StatusDot(const QColor &color, int diameter, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_color;
};

} // namespace tolvaran
