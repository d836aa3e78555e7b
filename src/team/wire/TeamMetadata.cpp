#include "team/wire/TeamMetadata.h"

#include "team/wire/TeamJsonReader.h"
#include "team/wire/TeamJsonWriter.h"

namespace tolvaran {

using namespace Qt::StringLiterals;

TeamMetadata TeamMetadata::decode(TeamJsonReader &reader)
{
    std::optional<QString> name;
    reader.beginObject();
    while (const auto key = reader.nextKey()) {
        if (*key == "name")
            name = reader.requiredString();
        else
            reader.skipValue();
    }
    return TeamMetadata{TeamJsonReader::take(name, "name", reader)};
}

void TeamMetadata::write(TeamJsonWriter &writer) const
{
    writer.beginObject();
    writer.stringField("name"_L1, name);
    writer.endObject();
}

TeamMetadata TeamMetadata::fromJson(QByteArrayView bytes)
{
    return TeamJsonReader::decodeDocument<TeamMetadata>(bytes);
}

QByteArray TeamMetadata::toJson() const
{
    TeamJsonWriter writer;
    write(writer);
    return writer.bytes();
}

} // namespace tolvaran
