#include "platform/FreedMemory.h"

#include <malloc.h>

namespace tolvaran {

void mapLargeBlocksApart()
{
    ::mallopt(M_MMAP_THRESHOLD, int(separatelyMappedBlockBytes));
}

void releaseFreedMemory()
{
    // With 0 no slack is kept at the top of the heap; the free pages inside every arena are
    // given back too (madvise), not only its top.
    ::malloc_trim(0);
}

} // namespace tolvaran
