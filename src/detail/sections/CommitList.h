#pragma once

#include "data/git/ProjectCommit.h"

#include <QList>
#include <QWidget>

#include <optional>

class QLabel;
class QVBoxLayout;

namespace tolvaran {

class DetailEmptyState;
class RoundedPanel;

// One commit: the short hash in a fixed column, the subject (selectable, wrapping) and
// "author  |  date" below it.
class CommitRow final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int hashColumnWidth = 62;

    explicit CommitRow(const ProjectCommit &commit, QWidget *parent = nullptr);

    const ProjectCommit &commit() const { return m_commit; }

private:
    ProjectCommit m_commit;
};

// The Recent Commits tab: its title, then a progress indicator while the pane loads (even
// when earlier commits are known), else the rows with a divider between each two, else
// "No Git commits found".
class CommitList final : public QWidget
{
    Q_OBJECT

public:
    enum class State { loading, rows, empty };

    explicit CommitList(QWidget *parent = nullptr);

    // `commits` is absent until the first load has ended. Rows are made again only when the
    // commits differ from those shown.
    void setCommits(const std::optional<QList<ProjectCommit>> &commits, bool isLoading);

    State state() const { return m_state; }
    QList<CommitRow *> rows() const;
    int dividerCount() const;

private:
    void rebuildRows(const QList<ProjectCommit> &commits);

    State m_state = State::loading;
    QList<ProjectCommit> m_shownCommits;
    QWidget *m_loading;
    RoundedPanel *m_rowsPanel;
    QVBoxLayout *m_rowsLayout;
    DetailEmptyState *m_empty;
};

} // namespace tolvaran
