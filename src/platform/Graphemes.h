#pragma once

#include <QString>

namespace tolvaran {

// "Characters" as a reader counts them: grapheme clusters, never UTF-16 code units, so that
// an emoji or a letter with a combining accent counts once.
qsizetype graphemeCount(const QString &text);

// The first `count` grapheme clusters of `text` (all of it when it has fewer).
QString graphemePrefix(const QString &text, qsizetype count);

} // namespace tolvaran
