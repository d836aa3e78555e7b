#pragma once

#include <QString>
#include <QStringList>

namespace tolvaran::fixtures::markdown {

// A generated Markdown document and the words of its text, in reading order. Every word is
// unique ("w" and six digits), so a renderer that shows each character of text exactly once,
// in order, shows exactly this list of words in this order.
struct GeneratedDocument
{
    QString markdown;
    QStringList words;
};

// A document of `blockCount` top-level blocks drawn at random (from `seed`) from every block
// kind (paragraphs, headings, quotes, fenced and indented code, HTML blocks, bulleted,
// numbered and task lists, tables, thematic breaks, block images), nested up to two levels,
// whose text uses every inline kind (emphasis, strong, strikethrough, code, links, raw HTML,
// soft and hard breaks).
GeneratedDocument mixedDocument(quint32 seed, int blockCount);

} // namespace tolvaran::fixtures::markdown
