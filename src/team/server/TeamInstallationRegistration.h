#pragma once

#include "team/wire/TeamInstallation.h"

#include <QByteArray>

namespace tolvaran {

// The body of a successful installation registration.
struct TeamInstallationRegistration
{
    QString teamId;
    TeamInstallation installation;

    // Throws TeamWireError.
    static TeamInstallationRegistration fromJson(QByteArrayView bytes);
    QByteArray toJson() const;

    static TeamInstallationRegistration decode(TeamJsonReader &reader);
    void write(TeamJsonWriter &writer) const;
};

} // namespace tolvaran
