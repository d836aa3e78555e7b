#pragma once

#include <QColor>
#include <QWidget>

#include <optional>

namespace tolvaran {

// A container drawn as a rounded rectangle: the tiles, lists and boxes of the detail pane
// and the team screens.
class RoundedPanel final : public QWidget
{
    Q_OBJECT

public:
    explicit RoundedPanel(double cornerRadius, QWidget *parent = nullptr);

    // The fill; the control background of the palette until set.
    void setFill(const QColor &color);
    // A 1-pixel outline drawn over the fill; none until set, or when set to none.
    void setStroke(const std::optional<QColor> &color);
    const std::optional<QColor> &stroke() const { return m_stroke; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double m_cornerRadius;
    std::optional<QColor> m_fill;
    std::optional<QColor> m_stroke;
};

} // namespace tolvaran
