#include "memory.h"

#include <sys/mman.h>

namespace picdec {

void* AllocateLarge(size_t bytes, bool zero) {
    void* p = zero ? std::calloc(1, bytes) : std::malloc(bytes);
#if defined(MADV_HUGEPAGE)
    if (p != nullptr && bytes >= kHugePageThreshold) {
        // Only the whole 2 MiB pages inside the block; advice, so a refusal changes nothing.
        constexpr uintptr_t kHuge = uintptr_t{2} << 20;
        uintptr_t begin = (reinterpret_cast<uintptr_t>(p) + kHuge - 1) & ~(kHuge - 1);
        uintptr_t end = (reinterpret_cast<uintptr_t>(p) + bytes) & ~(kHuge - 1);
        if (end > begin) {
            (void)madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
        }
    }
#endif
    return p;
}

}  // namespace picdec
