#pragma once

#include "platform/Timestamp.h"
#include "team/view/TeamProjectSummary.h"

#include <QColor>
#include <QList>
#include <QPalette>
#include <QString>
#include <QWidget>

#include <optional>

class QLabel;

namespace tolvaran {

class RoundedPanel;

// The teammates on the project's repository: per teammate its status, how fresh its report
// is, its work summary, changed files and how they overlap with the local work. Everything a
// teammate sends is shown as plain text.
class TeamActivitySection final : public QWidget
{
    Q_OBJECT

public:
    // The outline of the list when the highest level is high or critical.
    static constexpr double outlineOpacity = 0.65;

    // "Saved work", "Active", "Caution", "High overlap" or "Critical overlap".
    static QString statusLabel(const TeamProjectPeer &peer);
    // The colour of the status label and the level icon: the level's, except that a peer at
    // awareness is green while connected and secondary otherwise.
    static QColor statusColor(const TeamProjectPeer &peer, const QPalette &palette);
    // The colour of a level alone: green, yellow, orange, red.
    static QColor levelColor(TeamConflictLevel level);
    static QString levelSymbol(TeamConflictLevel level);
    // "Connected now", or "Last synced " and how long ago the server last heard of the peer.
    static QString freshnessText(const TeamProjectPeer &peer, Timestamp now);
    // "Both of you changed: a, b", or the sentence that says why nothing overlaps.
    static QString overlapText(const TeamProjectPeer &peer);
    // The list's outline: orange for high, red for critical, none below.
    static std::optional<QColor> outlineColor(const TeamProjectSummary &summary);

    explicit TeamActivitySection(QWidget *parent = nullptr);

    const TeamProjectSummary &summary() const { return m_summary; }
    // Rebuilds the rows; the freshness lines are written relative to `now`.
    void setSummary(const TeamProjectSummary &summary, Timestamp now);

    // The peer list's panel.
    RoundedPanel *peerList() const { return m_list; }

private:
    QWidget *makePeerRow(const TeamProjectPeer &peer, Timestamp now);

    TeamProjectSummary m_summary;
    RoundedPanel *m_list;
    QList<QWidget *> m_rows;
};

} // namespace tolvaran
