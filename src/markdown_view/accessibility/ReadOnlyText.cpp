#include "markdown_view/accessibility/ReadOnlyText.h"

#include <algorithm>

namespace tolvaran::markdown {

QString ReadOnlyText::text(int startOffset, int endOffset) const
{
    const QString all = readText();
    // -1 as the end reads to the end, as assistive technology asks for it.
    const qsizetype end = endOffset < 0 ? all.size() : std::min<qsizetype>(endOffset, all.size());
    const qsizetype start = std::clamp<qsizetype>(startOffset, 0, end);
    return all.mid(start, end - start);
}

int ReadOnlyText::characterCount() const
{
    return int(readText().size());
}

QString ReadOnlyText::attributes(int, int *startOffset, int *endOffset) const
{
    // One run without attributes of its own over the whole text.
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}

void ReadOnlyText::selection(int, int *startOffset, int *endOffset) const
{
    *startOffset = 0;
    *endOffset = 0;
}

} // namespace tolvaran::markdown
