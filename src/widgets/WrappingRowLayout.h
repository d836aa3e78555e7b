#pragma once

#include <QLayout>
#include <QList>

namespace tolvaran {

// Items side by side from the leading edge, each at its preferred size, wrapping to a further
// line when the next one does not fit; each line as tall as its tallest item, items centred
// in it. Nothing is hidden or cut: a narrower room makes more lines, and the layout asks for
// their height (height for width). Filling lines, the items of each line share the room left
// at its end, so that every line spans the width. Qt Widgets has no such layout.
class WrappingRowLayout final : public QLayout
{
public:
    explicit WrappingRowLayout(QWidget *parent = nullptr);
    ~WrappingRowLayout() override;

    // The room between items of a line, and between lines.
    void setHorizontalSpacing(int spacing);
    void setVerticalSpacing(int spacing);
    // Lines are at least this tall (an empty layout too), so that what stands below a row
    // of one line stays where it is.
    void setMinimumLineHeight(int height);
    void setFillsLines(bool fills);
    // The last item stands at the trailing edge of its line, whether it shares the line or
    // wrapped to one of its own (a title and its control, figures and their total); alone in
    // the layout it stays at the leading edge.
    void setLastItemAtTrailingEdge(bool trailing);

    void addItem(QLayoutItem *item) override;
    int count() const override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect &rect) override;

private:
    // Places the items in `rect` (or only measures, when `place` is false); returns the
    // height used.
    int arrange(const QRect &rect, bool place) const;

    QList<QLayoutItem *> m_items;
    int m_horizontalSpacing = 6;
    int m_verticalSpacing = 4;
    int m_minimumLineHeight = 0;
    bool m_fillsLines = false;
    bool m_lastItemAtTrailingEdge = false;
};

} // namespace tolvaran
