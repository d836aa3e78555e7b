#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

namespace tolvaran::fixtures::markdown {

// Tables as READMEs write them, for the table layout tests and the screenshots.

// Two screenshots side by side under "Before | After", in before.png and after.png beside
// the document (see writeBeforeAfterPictures).
QString beforeAfterTable();
// Writes before.png and after.png into `folder`: pictures of `size` drawn like a window (a
// title bar above a few lines of content), one blue and one green; false when a file cannot
// be written.
bool writeBeforeAfterPictures(const QString &folder, QSize size);

// A table of a short column beside one whose cell holds a single word of `letters` letters,
// as a pasted hash or path writes one.
QString longWordTable(int letters);
// A table headed by `headers` over one row whose last cell holds a word of `letters` letters
// and whose other cells a short word.
QString tokenTable(const QStringList &headers, int letters);

} // namespace tolvaran::fixtures::markdown
