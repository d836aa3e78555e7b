#pragma once

#include <cstddef>

namespace tolvaran {

// What the program does so that memory it frees goes back to the system.
//
// The C library keeps freed memory for later allocations: by itself it gives back only the
// free top of its main heap. Background jobs allocate from arenas of their own, one per pool
// thread, and a full refresh of a long history frees tens of megabytes there, between blocks
// still in use; refresh after refresh landed in other arenas, and the resident set climbed by
// hundreds of megabytes while what the program held stayed the same.

// Blocks of at least this size are mapped apart and unmapped when freed. The C library would
// otherwise raise this limit to the size of every large block freed (lists of tens of
// thousands of threads), so that the next such lists fill its arenas instead.
inline constexpr std::size_t separatelyMappedBlockBytes = 256 * 1024;
// Sets that limit for the process; call once at start.
void mapLargeBlocksApart();

// Hands the free pages of every arena back to the system. Call it after large frees, off the
// GUI thread: it walks every arena, each under its lock. Under AddressSanitizer, whose own
// allocator holds every block, it does nothing.
void releaseFreedMemory();

} // namespace tolvaran
