#include "remote_image/svg/SvgReadingWork.h"

namespace tolvaran::markdown {

SvgReadingWork &SvgReadingWork::operator+=(const SvgReadingWork &other)
{
    elements += other.elements;
    textLayouts += other.textLayouts;
    characters += other.characters;
    scriptChanges += other.scriptChanges;
    symbolChanges += other.symbolChanges;
    stopsPassed += other.stopsPassed;
    styleRules += other.styleRules;
    selectorTests += other.selectorTests;
    universalMatches += other.universalMatches;
    embeddedBytes += other.embeddedBytes;
    return *this;
}

} // namespace tolvaran::markdown
