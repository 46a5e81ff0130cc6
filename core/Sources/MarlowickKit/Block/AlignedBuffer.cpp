#include "Block/AlignedBuffer.hpp"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>

namespace marlowick {

void AlignedBuffer::Free::operator()(std::uint8_t* bytes) const { std::free(bytes); }

namespace {

// Buffers of a few MiB are touched first by the zero fill below: in 2 MiB pages that is a
// handful of page faults instead of thousands, which are slow in a virtual machine.
constexpr std::size_t hugePageBytes = 2 << 20;

}  // namespace

std::optional<AlignedBuffer> AlignedBuffer::allocate(std::size_t bytes) {
    void* allocated = nullptr;
    const bool large = bytes >= hugePageBytes;
    // posix_memalign refuses a size of 0 on some systems; one page costs nothing.
    if (::posix_memalign(&allocated, large ? hugePageBytes : alignment, bytes == 0 ? alignment : bytes) != 0) {
        return std::nullopt;
    }
    // Advice only: where huge pages are off or refused, the buffer works as well.
    if (large) ::madvise(allocated, bytes / hugePageBytes * hugePageBytes, MADV_HUGEPAGE);
    std::memset(allocated, 0, bytes);
    return AlignedBuffer(static_cast<std::uint8_t*>(allocated), bytes);
}

}  // namespace marlowick
