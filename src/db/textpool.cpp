#include "db/textpool.h"

#include <algorithm>
#include <cstring>

std::uint64_t TextPool::add(std::string_view bytes)
{
    unsigned char prefix[10];
    std::size_t prefixLength = 0;
    for (std::uint64_t n = bytes.size();; n >>= 7) {
        prefix[prefixLength++] = static_cast<unsigned char>((n & 0x7f) | (n > 0x7f ? 0x80 : 0));
        if (n <= 0x7f)
            break;
    }
    const std::size_t needed = prefixLength + bytes.size();
    if (m_chunks.empty() || m_used + needed > m_chunks.back().size) {
        const std::size_t size = std::max(needed, ChunkSize);
        m_chunks.push_back({std::make_unique_for_overwrite<char[]>(size), size});
        m_used = 0;
    }
    char* at = m_chunks.back().data.get() + m_used;
    std::memcpy(at, prefix, prefixLength);
    if (!bytes.empty())
        std::memcpy(at + prefixLength, bytes.data(), bytes.size());
    // Offsets in an ordinary chunk stay below its size; a larger text has a chunk to itself.
    const std::uint64_t handle = (std::uint64_t(m_chunks.size() - 1) << ChunkBits) | m_used;
    m_used += needed;
    return handle;
}
