#include "platform/FreedMemory.h"

#include <malloc.h>

// Whether AddressSanitizer's allocator stands in for the C library's (GCC says so with the
// first macro, clang with the feature test).
#if defined(__SANITIZE_ADDRESS__)
#define TOLVARAN_SANITIZER_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TOLVARAN_SANITIZER_ALLOCATOR 1
#endif
#endif

namespace tolvaran {

void mapLargeBlocksApart()
{
    ::mallopt(M_MMAP_THRESHOLD, int(separatelyMappedBlockBytes));
}

void releaseFreedMemory()
{
#ifdef TOLVARAN_SANITIZER_ALLOCATOR
    // Every block then comes from the sanitizer, and the C library's heap stays empty and
    // uninitialised: malloc_trim would only set it up, and it does so without a lock, so two
    // threads making the first call at once read half-made bins and crash. There is nothing
    // of ours to give back.
#else
    // With 0 no slack is kept at the top of the heap; the free pages inside every arena are
    // given back too (madvise), not only its top.
    ::malloc_trim(0);
#endif
}

} // namespace tolvaran
