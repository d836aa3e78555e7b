#pragma once

#include "data/git/SharedProjectState.h"
#include "team_interface/TeamCommitEvent.h"

namespace tolvaran {

class TeamJsonReader;
class TeamJsonWriter;

// The team wire coding of the data layer's records that messages embed or snapshots carry.
// Members are written in field order (their QJsonObject coding for the metadata cache sorts
// them); absent optionals write nothing. Decoding throws TeamWireError for a required member
// that is missing, null or mistyped; unknown members are skipped.
namespace TeamWireCoding {

TeamProjectUsagePayload decodeUsagePayload(TeamJsonReader &reader);
SharedProjectState decodeSharedProjectState(TeamJsonReader &reader);
TeamCommitEvent decodeCommitEvent(TeamJsonReader &reader);

void write(TeamJsonWriter &writer, const TeamProjectUsagePayload &usage);
void write(TeamJsonWriter &writer, const SharedProjectState &state);
void write(TeamJsonWriter &writer, const TeamCommitEvent &event);

} // namespace TeamWireCoding
} // namespace tolvaran
