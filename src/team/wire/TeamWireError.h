#pragma once

#include "platform/Error.h"

namespace tolvaran {

enum class TeamWireErrorKind {
    malformed,     // not JSON, or trailing bytes after the document (carries what and where)
    limitExceeded, // beyond one of TeamWireLimits (carries which)
    invalidRecord, // JSON, but a required member is missing, null or mistyped (carries which)
    unencodable,   // a value JSON cannot carry (a NaN or infinite number)
};

QString errorMessage(TeamWireErrorKind kind);
// The sentence with what the kind carries: malformed "text that is not UTF-8 at byte 3",
// limitExceeded "9 bytes, over the limit of 8", invalidRecord "\"name\" is missing".
QString errorMessage(TeamWireErrorKind kind, const QString &detail);

// A team message that could not be read or written.
using TeamWireError = KindError<TeamWireErrorKind>;

} // namespace tolvaran
