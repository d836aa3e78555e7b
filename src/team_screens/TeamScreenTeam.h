#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace tolvaran {

class TeamPresenceService;
class TeamSettingsStore;

// One team as the team screens see it: its id, its profile's settings (the edit buffer the
// screens bind to) and its service (the published values and every server call). The team
// workspace's teams answer it.
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
};

// Runs `handler` while `receiver` lives, whenever one of the service's published values or the
// settings' edit buffer changes.
void onTeamChange(const TeamScreenTeam &team, QObject *receiver, std::function<void()> handler);

// Whether the server reports this device as a plain member (neither owner nor admin); false
// while its role is not known yet.
bool isPlainMember(const TeamScreenTeam &team);

} // namespace tolvaran
