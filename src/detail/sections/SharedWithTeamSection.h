#pragma once

#include "data/git/SharedProjectState.h"

#include <QWidget>

class QLabel;

namespace tolvaran {

class ChangedFileList;

// What this device currently shares of the project with its teams: the work summary (or that
// it is still pending), the changed files and their statistics.
class SharedWithTeamSection final : public QWidget
{
    Q_OBJECT

public:
    static constexpr double cardFillOpacity = 0.07;

    explicit SharedWithTeamSection(QWidget *parent = nullptr);

    const SharedProjectState &activity() const { return m_activity; }
    void setActivity(const SharedProjectState &activity);

private:
    void render();

    SharedProjectState m_activity;
    QLabel *m_summary;
    QWidget *m_pending;
    ChangedFileList *m_files;
    QLabel *m_statistics;
};

} // namespace tolvaran
