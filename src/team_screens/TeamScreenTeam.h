#pragma once

#include "data/TeamCommitEvent.h"
#include "team/TeamConnectedPerson.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

namespace tolvaran {

class TeamPresenceService;
class TeamSettingsStore;

// One team as the team screens see it: its profile, its service (the connection, the team's
// name, its security status and every server call) and what the service publishes about the
// team's people, shared projects and commits. The team workspace's teams answer it; tests
// give fixed values over a real profile and service.
//
// Everything runs on the GUI thread.
class TeamScreenTeam : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~TeamScreenTeam() override = default;

    virtual QString id() const = 0;
    virtual TeamSettingsStore &settings() const = 0;
    virtual TeamPresenceService &service() const = 0;

    // This user's own entry first, then the connected teammates.
    virtual QList<TeamConnectedPerson> connectedPeople() const = 0;
    // Latest received first.
    virtual QList<TeamCommitEvent> recentCommits() const = 0;
    // Local project paths whose repository another device of the team also has.
    virtual QSet<QString> sharedProjectPaths() const = 0;
    // Drops every commit notice the team has queued for the browser's banner.
    virtual void dismissCommitNotifications() = 0;

Q_SIGNALS:
    // Any change of the values above, of the service's published values or of the settings'
    // edit buffer.
    void changed();
};

} // namespace tolvaran
