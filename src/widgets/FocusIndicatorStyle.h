#pragma once

#include <QColor>
#include <QPalette>
#include <QProxyStyle>

namespace tolvaran {

// The desktop's style with a focus indicator that can be seen. The control that took the focus
// from the keyboard gets a solid ring along its edge, in the palette's highlight colour made as
// much darker or lighter as it takes to keep SystemColors::minimumContrast against each
// background it may stand on (the window, a button's face, the base of fields and cards) and
// against the highlight itself (default buttons' outlines, selected items, the chosen tab).
// Fusion's own is a pale wash of the highlight (1.75:1 on white) inside the small icon buttons,
// and its push buttons show the focus only in an outline that a default or flat button already
// has or never shows, and a scrolling area none at all.
class FocusIndicatorStyle final : public QProxyStyle
{
    Q_OBJECT

public:
    static constexpr int ringWidth = 2;
    static constexpr qreal ringRadius = 3.0;

    // Draws as `base` does, but for the focus; takes ownership of `base`.
    explicit FocusIndicatorStyle(QStyle *base);

    // Puts one in the place of the application's style, wrapping it; once.
    static void install();

    // The ring's colour for controls drawn in `palette`.
    static QColor indicatorColor(const QPalette &palette);

    // A scrolling area that takes the focus itself (to be scrolled from the keyboard) gets the
    // ring too, drawn over its content, which covers whatever the area paints; unless it draws
    // its own focus and says so with the property named here set to true.
    static constexpr const char *drawsOwnFocusProperty = "drawsOwnFocus";
    void polish(QWidget *widget) override;
    void unpolish(QWidget *widget) override;
    using QProxyStyle::polish;
    using QProxyStyle::unpolish;

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                            QPainter *painter, const QWidget *widget = nullptr) const override;
};

} // namespace tolvaran
