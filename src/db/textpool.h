#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

// Texts go into large chunks, each prefixed with its length as a varint, so a million short
// strings cost their bytes plus one or two, not a heap block each.
class TextPool {
public:
    // Keeps a copy of the bytes; the handle finds them again for as long as the pool lives.
    std::uint64_t add(std::string_view bytes);
    std::string_view get(std::uint64_t handle) const;

private:
    // Handles of the first gigabytes of text fit in four bytes.
    static constexpr int ChunkBits = 22;
    static constexpr std::size_t ChunkSize = std::size_t(1) << ChunkBits;
    struct Chunk {
        std::unique_ptr<char[]> data;
        std::size_t size;
    };
    std::vector<Chunk> m_chunks;
    std::size_t m_used = 0;
};

// Inline: sorting and painting read a text for every cell they touch.
inline std::string_view TextPool::get(std::uint64_t handle) const
{
    const auto* at = reinterpret_cast<const unsigned char*>(
        m_chunks[handle >> ChunkBits].data.get() + (handle & (ChunkSize - 1)));
    std::uint64_t length = 0;
    int shift = 0;
    for (;; shift += 7) {
        const unsigned char byte = *at++;
        length |= std::uint64_t(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            break;
    }
    return {reinterpret_cast<const char*>(at), std::size_t(length)};
}
