#include "widgets/FocusIndicatorStyle.h"

#include "widgets/SystemColors.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QFocusFrame>
#include <QGraphicsView>
#include <QPainter>
#include <QStyleOption>

#include <algorithm>
#include <limits>

namespace tolvaran {

namespace {

// How far the ring's colour moves from the highlight per step (of 255 lightness).
constexpr int lightnessStep = 4;

// Styles draw a focus frame only for focus that came from the keyboard, so that a click does
// not leave one behind; so does the ring.
bool hasKeyboardFocus(QStyle::State state)
{
    return (state & QStyle::State_HasFocus) && (state & QStyle::State_KeyboardFocusChange);
}

void drawRing(QPainter *painter, const QRect &area, const QColor &color)
{
    constexpr int ringWidth = FocusIndicatorStyle::ringWidth;
    if (area.width() <= 2 * ringWidth || area.height() <= 2 * ringWidth)
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(color, ringWidth));
    // The pen straddles the path: half a width in, the ring lies wholly inside the area.
    const qreal inset = ringWidth / 2.0;
    painter->drawRoundedRect(QRectF(area).adjusted(inset, inset, -inset, -inset),
                             FocusIndicatorStyle::ringRadius, FocusIndicatorStyle::ringRadius);
    painter->restore();
}

// Draws the control as the base style does without the focus, then the ring along its edge.
// False for an option of another type or without keyboard focus: the caller draws as usual.
template <typename Option, typename Draw>
bool drawWithRing(const QStyleOption *option, QPainter *painter, Draw &&draw)
{
    const auto *typed = qstyleoption_cast<const Option *>(option);
    if (!typed || !hasKeyboardFocus(option->state))
        return false;
    Option unfocused = *typed;
    unfocused.state &= ~QStyle::State_HasFocus;
    draw(&unfocused);
    drawRing(painter, option->rect, FocusIndicatorStyle::indicatorColor(option->palette));
    return true;
}

// The ring of a scrolling area, a child laid over the area's whole rectangle while the area
// holds the focus: the area's content covers whatever the area itself paints. A focus frame,
// so that it lets the mouse through and assistive technology passes it over, but placed and
// drawn here rather than by the style's focus-frame machinery, which draws outside the widget.
class ScrollAreaRing final : public QFocusFrame
{
public:
    explicit ScrollAreaRing(QAbstractScrollArea *area)
        : QFocusFrame(area)
        , m_area(area)
    {
        setObjectName(QStringLiteral("scrollAreaFocusRing"));
        hide(); // made while the area is polished, before it shows: not shown with it
        area->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_area)
            return QFocusFrame::eventFilter(watched, event);
        switch (event->type()) {
        case QEvent::FocusIn:
            setGeometry(m_area->rect());
            raise();
            show();
            break;
        case QEvent::FocusOut:
            hide();
            break;
        case QEvent::Resize:
            setGeometry(m_area->rect());
            break;
        default:
            break;
        }
        return false;
    }

    void paintEvent(QPaintEvent *) override
    {
        if (!m_area->hasFocus() || !m_area->window()->testAttribute(Qt::WA_KeyboardFocusChange))
            return;
        QPainter painter(this);
        drawRing(&painter, rect(), FocusIndicatorStyle::indicatorColor(m_area->palette()));
    }

private:
    QAbstractScrollArea *m_area;
};

ScrollAreaRing *ringOf(QWidget *widget)
{
    return widget->findChild<ScrollAreaRing *>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace

FocusIndicatorStyle::FocusIndicatorStyle(QStyle *base)
    : QProxyStyle(base)
{
}

void FocusIndicatorStyle::install()
{
    if (qobject_cast<FocusIndicatorStyle *>(QApplication::style()))
        return;
    QApplication::setStyle(new FocusIndicatorStyle(QApplication::style()));
}

void FocusIndicatorStyle::polish(QWidget *widget)
{
    QProxyStyle::polish(widget);
    // Lists show the focus on their current item, and graphics views (the charts) and areas
    // that say so draw their own.
    auto *area = qobject_cast<QAbstractScrollArea *>(widget);
    if (area && !qobject_cast<QAbstractItemView *>(widget)
        && !qobject_cast<QGraphicsView *>(widget)
        && !widget->property(drawsOwnFocusProperty).toBool() && !ringOf(area))
        new ScrollAreaRing(area);
}

void FocusIndicatorStyle::unpolish(QWidget *widget)
{
    delete ringOf(widget);
    QProxyStyle::unpolish(widget);
}

QColor FocusIndicatorStyle::indicatorColor(const QPalette &palette)
{
    // Against the highlight too: a default button's outline, a selected item and a chosen
    // tab are drawn in it, and the ring must differ from them as much as from the window.
    const QPalette::ColorRole backgrounds[] = {QPalette::Window, QPalette::Button, QPalette::Base,
                                               QPalette::Highlight};
    const auto leastContrast = [&](const QColor &color) {
        double least = std::numeric_limits<double>::max();
        for (const QPalette::ColorRole background : backgrounds)
            least = std::min(least, SystemColors::contrastRatio(color, palette.color(background)));
        return least;
    };
    // Darker than the highlight on a light window, lighter on a dark one, by the least steps
    // that do.
    const bool lighten = palette.color(QPalette::Window).lightness() < 128;
    QColor color = palette.color(QPalette::Active, QPalette::Highlight).toHsl();
    while (leastContrast(color) < SystemColors::minimumContrast
           && color.lightness() != (lighten ? 255 : 0)) {
        color.setHsl(color.hslHue(), color.hslSaturation(),
                     std::clamp(color.lightness() + (lighten ? lightnessStep : -lightnessStep), 0,
                                255));
    }
    return color.toRgb();
}

void FocusIndicatorStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option,
                                        QPainter *painter, const QWidget *widget) const
{
    if (element == PE_FrameFocusRect) {
        if (!(option->state & State_KeyboardFocusChange))
            return;
        QColor color = indicatorColor(option->palette);
        // What the frame surrounds, when its owner says: a list's selected item is filled
        // with the highlight the ring is made of.
        const auto *frame = qstyleoption_cast<const QStyleOptionFocusRect *>(option);
        if (frame && frame->backgroundColor.isValid())
            color = SystemColors::legibleOn(color, frame->backgroundColor);
        drawRing(painter, option->rect, color);
        return;
    }
    if (element == PE_PanelLineEdit
        && drawWithRing<QStyleOptionFrame>(option, painter, [&](const QStyleOption *unfocused) {
               QProxyStyle::drawPrimitive(element, unfocused, painter, widget);
           }))
        return;
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void FocusIndicatorStyle::drawControl(ControlElement element, const QStyleOption *option,
                                      QPainter *painter, const QWidget *widget) const
{
    if (element == CE_PushButton
        && drawWithRing<QStyleOptionButton>(option, painter, [&](const QStyleOption *unfocused) {
               QProxyStyle::drawControl(element, unfocused, painter, widget);
           }))
        return;
    QProxyStyle::drawControl(element, option, painter, widget);
}

void FocusIndicatorStyle::drawComplexControl(ComplexControl control,
                                             const QStyleOptionComplex *option,
                                             QPainter *painter, const QWidget *widget) const
{
    const auto drawUnfocused = [&](const QStyleOption *unfocused) {
        QProxyStyle::drawComplexControl(control, static_cast<const QStyleOptionComplex *>(unfocused),
                                        painter, widget);
    };
    if (control == CC_ToolButton
        && drawWithRing<QStyleOptionToolButton>(option, painter, drawUnfocused))
        return;
    if (control == CC_ComboBox && drawWithRing<QStyleOptionComboBox>(option, painter, drawUnfocused))
        return;
    QProxyStyle::drawComplexControl(control, option, painter, widget);
}

} // namespace tolvaran
