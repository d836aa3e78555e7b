#pragma once

#include "remote_image/RemoteImageError.h"

#include <QByteArray>
#include <QSize>

#include <optional>
#include <stop_token>

namespace tolvaran::markdown {

// Whether Qt's own PNG reader would read a PNG file within the work of its picture, for the
// pictures that only Qt's reader reads: those embedded in an SVG, which Qt's SVG renderer
// decodes itself. That reader inflates the image data to the end of its stream, past the last
// row (gigabytes, from a file of a few megabytes), and every compressed text and colour
// profile (up to 8 MB each). So the image data is inflated here up to its rows and a little
// more, and the file refused where its stream goes on past them; the text and profiles are
// inflated up to a budget that all of a document's pictures share, and refused past it.
// Inflated into a small buffer, and stopped between its pieces when `stop` is requested.
class PngDataBounds final
{
public:
    // What the compressed text and colour profiles of all the pictures of one document may
    // inflate to, together: a sound colour profile takes a few kilobytes, a large one a few
    // hundred.
    static constexpr qint64 textBudget = 4 * 1024 * 1024;
    // What the image data may inflate to past its rows: encoders end the stream with the last
    // row, some with an empty block after it.
    static constexpr qint64 slackBytes = 4096;

    // None where the file is within its bounds, `textSpent` being what the text of the
    // document's pictures checked before took of textBudget (and is added to); otherwise
    // imageTooComplex, cannotDecodeContentData where its header names no colour type and
    // depth that PNG has, or abandoned once `stop` is requested. `png` is a file whose header
    // PngReader::declaredSize read as `declared`, within the pixel limit.
    static std::optional<RemoteImageError> check(const QByteArray &png, QSize declared,
                                                 qint64 &textSpent, const std::stop_token &stop);
};

} // namespace tolvaran::markdown
