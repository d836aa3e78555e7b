#pragma once

#include <QRectF>
#include <QSizeF>

namespace tolvaran {

// The geometry of the project card grid: as many columns as the viewport allows, cards
// stretched to share the width but never wider than maximumCardWidth, always
// cardHeight high. The card sizes are the design's at the default text size: a scale (the
// text's, FontScale) multiplies them, and the grid may ask for taller cards than that when a
// card's content needs it. A plain value: the grid widget owns one and asks it where each
// card goes.
class AdaptiveCardFlowLayout final
{
public:
    static constexpr double interItemSpacing = 14.0;
    static constexpr double lineSpacing = 14.0;
    static constexpr double defaultSectionInset = 16.0;
    static constexpr double defaultCardWidth = 360.0;
    static constexpr double cardHeight = 246.0;
    static constexpr double minimumCardWidth = 320.0;
    static constexpr double maximumCardWidth = 430.0;
    // Widths at or below this are a viewport that is not laid out yet.
    static constexpr double minimumViewportWidth = 2.0;
    // Sub-point jitter while a window is resized must cause no relayout.
    static constexpr double changeTolerance = 0.5;

    struct Insets
    {
        double top = defaultSectionInset;
        double left = defaultSectionInset;
        double bottom = defaultSectionInset;
        double right = defaultSectionInset;
    };

    const QSizeF &itemSize() const { return m_itemSize; }
    double scale() const { return m_scale; }

    // The card widths and the least card height at `scale` times the design's. Takes effect
    // at the next updateViewportWidth.
    void setScale(double scale);
    // Cards at least `height` high (never lower than the scaled cardHeight). Takes effect at
    // the next updateViewportWidth.
    void setMinimumCardHeight(double height);
    // The height the cards have with nothing taller asked for.
    double baseCardHeight() const { return cardHeight * m_scale; }
    const Insets &sectionInsets() const { return m_sectionInsets; }

    // Recomputes the side insets and the card width for a viewport `width` wide, less the
    // scroll view's own left and right content insets. Returns whether the card width or the
    // side inset moved by more than changeTolerance; a width of minimumViewportWidth or less
    // changes nothing and returns false.
    bool updateViewportWidth(double width, double scrollInsetLeft = 0.0,
                             double scrollInsetRight = 0.0);

    // Whether a bounds change from `currentWidth` to `newWidth` needs a new layout: only a
    // width change of more than changeTolerance does; height changes never do.
    static bool shouldInvalidateLayout(double currentWidth, double newWidth);

    // The flow of the current item size in a viewport `viewportWidth` wide: cards per row,
    // the frame of card `index`, the height of `count` cards, and the first and last index
    // of the cards that meet the band [top, bottom] (first > last when none does).
    int columnCount(double viewportWidth) const;
    QRectF itemRect(int index, double viewportWidth) const;
    double contentHeight(int count, double viewportWidth) const;
    std::pair<int, int> itemsInBand(double top, double bottom, int count,
                                    double viewportWidth) const;

private:
    QSizeF m_itemSize{defaultCardWidth, cardHeight};
    Insets m_sectionInsets;
    double m_scale = 1.0;
    double m_minimumCardHeight = 0.0;
};

} // namespace tolvaran
