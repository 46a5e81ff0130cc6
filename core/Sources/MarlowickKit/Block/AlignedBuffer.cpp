#include "Block/AlignedBuffer.hpp"

#include <cstdlib>
#include <cstring>

namespace marlowick {

void AlignedBuffer::Free::operator()(std::uint8_t* bytes) const { std::free(bytes); }

std::optional<AlignedBuffer> AlignedBuffer::allocate(std::size_t bytes) {
    void* allocated = nullptr;
    // posix_memalign refuses a size of 0 on some systems; one page costs nothing.
    if (::posix_memalign(&allocated, alignment, bytes == 0 ? alignment : bytes) != 0) return std::nullopt;
    std::memset(allocated, 0, bytes);
    return AlignedBuffer(static_cast<std::uint8_t*>(allocated), bytes);
}

}  // namespace marlowick
