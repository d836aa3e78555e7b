#pragma once

#include <QScrollArea>

namespace tolvaran {

// The scroll area of a tab of the detail pane, which scrolls down. Its content is laid out at
// the area's width: rows wrap, and what cannot wrap (the teammates' table) scrolls sideways in
// an area of its own, so the content's least width is that of its narrowest parts (a tile, a
// word). The area asks for that as its own least width (with room for its vertical scroll
// bar): a window honours it, and only a screen narrower than that leaves the content scrolling
// sideways rather than cut. A plain scroll area asks for a few pixels, whatever it holds.
// Content that wraps is as tall as it is at the width it has, with no empty room below it.
//
// The control that takes the focus comes into view as keepFocusInView brings it, after Tab as
// much as after a click.
class ColumnScrollArea final : public QScrollArea
{
    Q_OBJECT

public:
    explicit ColumnScrollArea(QWidget *parent = nullptr);

    QSize minimumSizeHint() const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool focusNextPrevChild(bool next) override;
};

} // namespace tolvaran
