#pragma once

#include <QHashFunctions>
#include <QString>

#include <optional>

namespace tolvaran::markdown {

// What an image view needs of an image node, or of a link whose only content is an image.
struct RawImageData
{
    QString source; // the image URL as written in the document
    QString alt;    // the plain text of the image description
    std::optional<QString> destination; // the enclosing link's destination

    friend bool operator==(const RawImageData &, const RawImageData &) = default;
};

inline size_t qHash(const RawImageData &data, size_t seed = 0) noexcept
{
    return qHashMulti(seed, data.source, data.alt, data.destination.has_value(),
                      data.destination.value_or(QString()));
}

} // namespace tolvaran::markdown
