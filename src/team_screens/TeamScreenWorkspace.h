#pragma once

#include <QList>
#include <QObject>
#include <QString>

namespace tolvaran {

class TeamScreenTeam;

// The teams of this installation as the dashboard manages them: the listed teams, the one
// selected for management, adding a team through a pending profile, and removing one. The team
// workspace answers it. Teams are owned by the workspace; a pending team lives until it is
// committed (then it is listed when it holds a membership) or discarded.
//
// Everything runs on the GUI thread.
class TeamScreenWorkspace : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~TeamScreenWorkspace() override = default;

    virtual QList<TeamScreenTeam *> teams() const = 0;
    virtual QString selectedManagementTeamID() const = 0;
    // The listed team of the selected ID, or null.
    virtual TeamScreenTeam *selectedManagementTeam() const = 0;
    virtual void selectManagementTeam(const QString &teamID) = 0;

    // A new profile, switched on in memory and not listed.
    virtual TeamScreenTeam *beginAddingTeam() = 0;
    // Lists and selects the team when it holds a membership.
    virtual void commitAddedTeam(TeamScreenTeam *team) = 0;
    // Forgets a team that is not listed (its stored profile included); a listed one stays.
    virtual void discardAddedTeam(TeamScreenTeam *team) = 0;
    // Forgets the listed team and its stored profile.
    virtual void removeTeam(const QString &teamID) = 0;

    // Whether any profile holds a membership (enabled or not).
    virtual bool hasTeamMemberships() const = 0;

Q_SIGNALS:
    // Any change of the list, the selection, or the published values or settings of one of
    // the listed teams.
    void changed();
};

} // namespace tolvaran
