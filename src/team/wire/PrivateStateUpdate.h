#pragma once

#include "data/git/SharedProjectState.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace tolvaran {

// This device's state under protocol 2: the wire identifiers of every repository it knows,
// and the full state only of those the server reported as overlapping.
struct PrivateStateUpdate
{
    static constexpr char type[] = "state.update";
    static constexpr qint64 protocolVersion = 2;

    QString deviceId;
    QString memberName;
    QStringList repositoryIds;          // without duplicates, ascending
    QList<SharedProjectState> projects; // repositoryId already the wire identifier

    // One compact JSON object, members in field order. Throws TeamWireError for a number
    // JSON cannot carry.
    QByteArray toJson() const;
};

} // namespace tolvaran
