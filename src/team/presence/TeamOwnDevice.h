#pragma once

#include <QString>

namespace tolvaran {

// This device as the snapshot code compares teammates with it: the settings' device identifier
// and member name.
struct TeamOwnDevice
{
    QString deviceID;
    QString memberName;

    // A device of the team is somebody else when both its device id and its member name
    // (trimmed, lower-cased) differ from ours: a second machine under the user's own name is
    // the user too.
    bool isAnotherPerson(const QString &deviceId, const QString &deviceMemberName) const;

    friend bool operator==(const TeamOwnDevice &, const TeamOwnDevice &) = default;
};

// The key that matches names between team records: trimmed and lower-cased.
QString teamTrimmedNameKey(const QString &name);
// The key that groups people and usage: lower-cased but not trimmed, so "ana " and "Ana" are
// two people while "Ana" and "ANA" are one.
QString teamPersonKey(const QString &name);
// The order of names on the team screens: localized, case-insensitive, ascending.
bool teamNameLessThan(const QString &left, const QString &right);

} // namespace tolvaran
