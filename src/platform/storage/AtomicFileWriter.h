#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

namespace tolvaran {

// Writes whole files atomically: the bytes go to a temporary file beside the target, which
// replaces the target only once everything is on disk. A failed write leaves the old file as
// it was. Our own files are private (0600) unless asked otherwise.
class AtomicFileWriter final
{
public:
    static constexpr QFileDevice::Permissions privatePermissions =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner;

    // Returns an empty string on success, else a sentence saying what failed.
    static QString write(const QString &path, const QByteArray &contents,
                         QFileDevice::Permissions permissions = privatePermissions);
};

} // namespace tolvaran
