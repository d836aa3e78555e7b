#pragma once

#include <QByteArray>
#include <QString>

namespace tolvaran {

class TeamJsonReader;
class TeamJsonWriter;

// The body of the calls that issue a new shared team key.
struct TeamKeyResponse
{
    QString teamKey;

    // Throws TeamWireError.
    static TeamKeyResponse fromJson(QByteArrayView bytes);
    QByteArray toJson() const;

    static TeamKeyResponse decode(TeamJsonReader &reader);
    void write(TeamJsonWriter &writer) const;
};

} // namespace tolvaran
