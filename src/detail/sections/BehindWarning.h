#pragma once

#include "data/git/ProjectGitStatus.h"

#include <QString>
#include <QWidget>

#include <optional>

class QLabel;

namespace tolvaran {

// "Project is behind by 1 commit", "... by 12 commits".
QString behindWarningTitle(qint64 behindCount);
// "Compared with origin/main. Fetch or pull in Git to update the project.", naming "the
// locally known upstream" when the status has none.
QString behindWarningDetail(const std::optional<QString> &upstream);

// The red card under the Overview's tiles while the project's branch is behind its upstream.
class BehindWarning final : public QWidget
{
    Q_OBJECT

public:
    explicit BehindWarning(QWidget *parent = nullptr);

    void setStatus(const ProjectGitStatus &status);
    QString title() const;
    QString detail() const;

private:
    QLabel *m_title;
    QLabel *m_detail;
};

} // namespace tolvaran
