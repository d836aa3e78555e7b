#pragma once

// Whether this build runs under AddressSanitizer, which keeps far more memory per allocation
// than the allocation itself (its shadow memory and its quarantine of freed blocks) and maps
// terabytes of address space that no limit of the address space or the data segment allows.
#if defined(__SANITIZE_ADDRESS__)
#define TOLVARAN_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TOLVARAN_ADDRESS_SANITIZER 1
#endif
#endif

namespace tolvaran::markdown {

#ifdef TOLVARAN_ADDRESS_SANITIZER
inline constexpr bool underAddressSanitizer = true;
#else
inline constexpr bool underAddressSanitizer = false;
#endif

} // namespace tolvaran::markdown
