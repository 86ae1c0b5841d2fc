// The fingerprint of a file's content that the duplication data keeps: two
// 32-bit word sums and the size, computed in one pass over the file. The rule
// is fixed, because fingerprints stored in "Dupe.bin" by earlier runs are
// compared with fingerprints computed now.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

namespace wg {

struct Fingerprint {
    std::uint32_t headSum = 0;  // the words of the first 1024 bytes
    std::uint32_t bodySum = 0;  // headSum plus the words of each later block but its last 32 bytes
    std::uint32_t size = 0;     // bytes read, modulo 2^32

    bool operator==(const Fingerprint&) const = default;
};

// From the current position of `file` (normally its start): the first 1024
// bytes give headSum, then every block of up to 4096 bytes adds its length to
// size and, when it holds at least 32 bytes, its first (n - 32) / 4 words to
// bodySum. Words are unsigned 32-bit little-endian; bytes that do not fill a
// word are not summed. Nothing for a file of which nothing could be read.
std::optional<Fingerprint> FileFingerprint(std::FILE* file);

// The same over bytes in memory, read as the file reader reads them.
std::optional<Fingerprint> BytesFingerprint(std::string_view bytes);

}  // namespace wg
