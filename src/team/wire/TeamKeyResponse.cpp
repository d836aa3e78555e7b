#include "team/wire/TeamKeyResponse.h"

#include "team/wire/TeamJsonReader.h"
#include "team/wire/TeamJsonWriter.h"

namespace tolvaran {

using namespace Qt::StringLiterals;

TeamKeyResponse TeamKeyResponse::decode(TeamJsonReader &reader)
{
    std::optional<QString> teamKey;
    reader.beginObject();
    while (const auto key = reader.nextKey()) {
        if (*key == "teamKey")
            teamKey = reader.requiredString();
        else
            reader.skipValue();
    }
    return TeamKeyResponse{TeamJsonReader::take(teamKey, "teamKey", reader)};
}

void TeamKeyResponse::write(TeamJsonWriter &writer) const
{
    writer.beginObject();
    writer.stringField("teamKey"_L1, teamKey);
    writer.endObject();
}

TeamKeyResponse TeamKeyResponse::fromJson(QByteArrayView bytes)
{
    return TeamJsonReader::decodeDocument<TeamKeyResponse>(bytes);
}

QByteArray TeamKeyResponse::toJson() const
{
    TeamJsonWriter writer;
    write(writer);
    return writer.bytes();
}

} // namespace tolvaran
