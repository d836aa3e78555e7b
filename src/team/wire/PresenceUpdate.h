#pragma once

#include "data/git/SharedProjectState.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace tolvaran {

// This device's presence under protocol 1: every repository it publishes.
struct PresenceUpdate
{
    static constexpr char type[] = "presence.update";
    static constexpr qint64 protocolVersion = 1;

    QString deviceId;
    QString memberName;
    QList<SharedProjectState> projects;

    // One compact JSON object, members in field order. Throws TeamWireError for a number
    // JSON cannot carry.
    QByteArray toJson() const;
};

} // namespace tolvaran
