#include "large_buffer.h"

#include <cstdlib>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace tarvidon {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

} // namespace

void *AllocateLarge(std::size_t size)
{
#ifdef __linux__
    if (size >= kHugePage) {
        if (size > std::numeric_limits<std::size_t>::max() - kHugePage)
            return nullptr;
        const std::size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
        void *bytes = std::aligned_alloc(kHugePage, rounded);
        if (bytes != nullptr)
            madvise(bytes, rounded, MADV_HUGEPAGE); // a hint; failure only costs speed
        return bytes;
    }
#endif
    return std::malloc(size);
}

void FreeLarge(void *bytes)
{
    std::free(bytes);
}

} // namespace tarvidon
