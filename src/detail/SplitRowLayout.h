#pragma once

#include <QLayout>
#include <QList>

namespace tolvaran {

// A row of two: the first item added at the leading edge, the second at the trailing edge,
// with the room between them, where both fit side by side at their preferred widths; else the
// first takes the whole width (a first item that wraps its own content wraps it there) and the
// second stands below it at the trailing edge. Each line is as tall as its tallest item, items
// centred in it. It asks for the height that takes (height for width). A row of a title and its
// control, or of figures and their total, keeps their places when it is wide and cuts neither
// when it is narrow; Qt's box layouts do one or the other.
class SplitRowLayout final : public QLayout
{
public:
    explicit SplitRowLayout(QWidget *parent = nullptr);
    ~SplitRowLayout() override;

    // The room between the two items, across and down.
    void setItemSpacing(int spacing);

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
    // The shown items, the leading one first.
    QList<QLayoutItem *> shownItems() const;
    // Whether the second item stands below the first in a room `width` wide.
    bool isSplit(int width) const;
    // Places the items in `rect` (or only measures, when `place` is false); returns the height
    // used.
    int arrange(const QRect &rect, bool place) const;

    QList<QLayoutItem *> m_items;
    int m_itemSpacing = 6;
};

} // namespace tolvaran
