#pragma once

#include <QSplitter>

class QListWidget;

namespace tolvaran {

// The teams dashboard's two panes: the team list beside the selected team's overview where the
// width holds both (from besideMinimumWidth, which grows with the text, and no narrower than
// their least widths side by side), else above it, as tall as its rows (at most
// stackedRowLimit of them) and the overview taking the rest. Its least width is that of the
// panes one above the other, so the dashboard fits a narrow window. Side by side, the list
// keeps between its least and most widths; either way the divider can be dragged.
class TeamListSplit final : public QSplitter
{
    Q_OBJECT

public:
    static constexpr int besideMinimumWidth = 640;
    static constexpr int listMinimumWidth = 190;
    static constexpr int listIdealWidth = 230;
    static constexpr int listMaximumWidth = 280;
    static constexpr int stackedRowLimit = 3;

    // `listPane` holds `teams`; both panes become the splitter's.
    TeamListSplit(QWidget *listPane, QListWidget *teams, QWidget *overview,
                  QWidget *parent = nullptr);

    bool isStacked() const { return orientation() == Qt::Vertical; }
    // Arranges the panes for the width and the list's rows (call after the rows changed).
    void arrange();

    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // The height of the list's first rows, as many as the stacked list shows.
    int stackedListHeight() const;

    QWidget *m_listPane;
    QListWidget *m_teams;
    QWidget *m_overview;
};

} // namespace tolvaran
