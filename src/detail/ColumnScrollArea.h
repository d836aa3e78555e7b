#pragma once

#include <QScrollArea>

namespace tolvaran {

// The scroll area of a tab of the detail pane. Its content takes the area's width, down to the
// content's least width, which the area asks for as its own least width (with room for its
// vertical scroll bar): a window honours it where the screen has room, so content that cannot
// be narrower (a table) is never cut; where a window cannot be that wide, the content scrolls
// sideways. A plain scroll area asks for a few pixels, whatever it holds. Content that wraps
// is as tall as it is at the width it has, with no empty room below it.
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
