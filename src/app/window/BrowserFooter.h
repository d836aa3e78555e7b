#pragma once

#include "platform/Timestamp.h"

#include <QString>
#include <QWidget>

#include <optional>

namespace tolvaran {

class ElidingLabel;

// The status line at the foot of the browser: the project counts, the selected tag, when the
// list was last refreshed, the teams' connection, and the latest status or error. Narrow, it
// takes two lines and a shorter wording.
class BrowserFooter final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int footerHeight = 30;
    static constexpr int compactFooterHeight = 44;

    // What the line says, as the coordinator and the team workspace have it.
    struct Status
    {
        qint64 shownProjects = 0; // after the filters
        qint64 allProjects = 0;
        qint64 pinnedProjects = 0;
        qint64 unreadProjects = 0;
        qint64 processingProjects = 0;
        std::optional<QString> tagName;
        std::optional<Timestamp> refreshedAt;
        // "Team: Team connected"; none while the user has no team membership.
        std::optional<QString> teamConnection;
        std::optional<QString> statusMessage;
        std::optional<QString> error;
    };

    explicit BrowserFooter(QWidget *parent = nullptr);

    void setStatus(const Status &status);
    bool isCompact() const { return m_compact; }
    void setCompact(bool compact);
    // Writes the line again, so that "Refreshed 5 min. ago" follows the clock.
    void redrawRelativeTime();

    // The line for `status`, its refresh time told relative to `now`.
    static QString text(const Status &status, bool compact, Timestamp now);

private:
    ElidingLabel *m_label = nullptr;
    Status m_status;
    bool m_compact = false;
};

} // namespace tolvaran
