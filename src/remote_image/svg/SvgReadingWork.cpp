#include "remote_image/svg/SvgReadingWork.h"

namespace tolvaran::markdown {

SvgReadingWork &SvgReadingWork::operator+=(const SvgReadingWork &other)
{
    elements += other.elements;
    textElements += other.textElements;
    characters += other.characters;
    scriptChanges += other.scriptChanges;
    wrappedCharacters += other.wrappedCharacters;
    unbreakableSquares += other.unbreakableSquares;
    stopsPassed += other.stopsPassed;
    ruleMatches += other.ruleMatches;
    embeddedBytes += other.embeddedBytes;
    return *this;
}

} // namespace tolvaran::markdown
