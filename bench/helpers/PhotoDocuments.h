#pragma once

#include <QLatin1String>
#include <QString>

class QTextStream;

namespace tolvaran::fixtures::bench {

// The case of "--resident" that measures a document of photos: this, then the count of
// photos.
inline constexpr QLatin1String photosCase{"photos-"};

// Documents of photos, each its own address on a local server, two thousand of them beside a
// hundred: their downloads come far faster than they decode. Measured in this process, the
// photo a file of `folderPath`: a document of `count` of them read down, jumped back to its
// top, then left until every photo is drawn; prints the milliseconds from the jump until the
// top photo is drawn. False when the photo could not be served or a wait passed its deadline.
bool measurePhotoDocument(const QString &folderPath, int count, QTextStream &figures);
// Writes the photo in `folderPath` and prints the peak of each document and the time its top
// photo took, each measured by this program run with "--resident", the case and the folder in
// a process of its own, and the peak of the many beside that of the few; false when the photo
// could not be written.
bool printPhotoDocuments(const QString &folderPath, QTextStream &out);

} // namespace tolvaran::fixtures::bench
