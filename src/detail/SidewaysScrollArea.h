#pragma once

#include <QScrollArea>

namespace tolvaran {

// Content that cannot wrap (a table), shown from its leading edge at its own width where the
// area has the room, else in the room it has, scrolled sideways with a scroll bar below it. The
// area is as tall as the content and that bar, and asks for no more than a little width, so
// what holds it keeps the width of its view and only this content scrolls sideways.
//
// While there is something to scroll, the area takes the focus (from Tab or a click), shows it
// as every scrolling area does, and scrolls by the arrow keys, Home and End; keys and a wheel
// that scroll up or down go on to what holds it.
class SidewaysScrollArea final : public QScrollArea
{
    Q_OBJECT

public:
    // Takes `content`, which keeps at most its size hint's width.
    explicit SidewaysScrollArea(QWidget *content, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
};

} // namespace tolvaran
