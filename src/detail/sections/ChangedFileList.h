#pragma once

#include "data/git/SharedProjectState.h"
#include "widgets/ScaledFont.h"

#include <QStringList>
#include <QWidget>

class QLabel;
class QListView;

namespace tolvaran {

// The pieces both team sections share.
// The line under a shared state: "+12 -3 across 4 shared file paths".
QString teamStatisticsLine(const SharedProjectState &state);
// A label with a symbol before it, both in `color`; the text is plain.
QWidget *teamSymbolLabel(const QString &symbol, const QString &text, const ScaledFont &font,
                         const QColor &color, QWidget *parent);
// "Codex summary pending" with its symbol, in the secondary colour.
QWidget *pendingSummaryLabel(const ScaledFont &font, QWidget *parent);

// A teammate's or this device's changed file paths: a heading with their count and a list of
// rows of one height, at most eight rows high; longer lists scroll. Only the rows in view are
// drawn, so a list of thousands of paths costs what eight do. Paths are plain text.
class ChangedFileList final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int rowHeight = 19;
    static constexpr int maximumVisibleRows = 8;
    // More files than this show a scroll bar and keep a gap for it beside the rows.
    static constexpr int scrollIndicatorThreshold = 7;
    static constexpr int scrollIndicatorGap = 8;

    explicit ChangedFileList(QWidget *parent = nullptr);

    const QStringList &files() const { return m_files; }
    void setFiles(const QStringList &files);

    // The list of rows; hidden while there are no files.
    QListView *listView() const { return m_list; }

private:
    void render();

    QStringList m_files;
    QLabel *m_empty;
    QLabel *m_heading;
    QListView *m_list;
};

} // namespace tolvaran
