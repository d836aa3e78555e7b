#pragma once

#include <QLayout>
#include <QList>

namespace tolvaran {

// Lays its items out in rows of equal columns: as many columns of at least `minimumWidth` as
// the width holds (one at the least), each at most `maximumWidth` wide, left-aligned, with
// `spacing` between columns and rows. Rows are as tall as their tallest item.
// Qt has no adaptive grid; QGridLayout's column count is fixed.
class AdaptiveGridLayout final : public QLayout
{
    Q_OBJECT

public:
    AdaptiveGridLayout(int minimumWidth, int maximumWidth, int spacing,
                       QWidget *parent = nullptr);
    ~AdaptiveGridLayout() override;

    // Columns between these widths from now on (the text size changed).
    void setColumnWidths(int minimumWidth, int maximumWidth);

    // The number of columns and their width for a content width.
    int columnCount(int width) const;
    int columnWidth(int width) const;

    void addItem(QLayoutItem *item) override;
    int count() const override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect &rect) override;

private:
    // Places the items in `rect` when `apply` is set; returns the height used.
    int arrange(const QRect &rect, bool apply) const;

    QList<QLayoutItem *> m_items;
    int m_minimumWidth;
    int m_maximumWidth;
    int m_gridSpacing;
};

} // namespace tolvaran
