#include "dupes/fingerprint.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace wg {

namespace {

constexpr std::size_t kHeadBytes = 1024;
constexpr std::size_t kBlockBytes = 4096;
constexpr std::size_t kUnsummedTail = 32;

std::uint32_t SumWords(const unsigned char* data, std::size_t words) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < words; ++i) {
        const unsigned char* w = data + i * 4;
        sum += static_cast<std::uint32_t>(w[0]) | (static_cast<std::uint32_t>(w[1]) << 8) |
               (static_cast<std::uint32_t>(w[2]) << 16) | (static_cast<std::uint32_t>(w[3]) << 24);
    }
    return sum;
}

// `read(buffer, capacity)` answers how many bytes came, as fread does.
template <typename Read>
std::optional<Fingerprint> Compute(Read read) {
    std::array<unsigned char, kBlockBytes> buffer{};
    const std::size_t head = read(buffer.data(), kHeadBytes);
    if (head == 0) {
        return std::nullopt;
    }
    Fingerprint f;
    f.headSum = SumWords(buffer.data(), head / 4);
    f.bodySum = f.headSum;
    f.size = static_cast<std::uint32_t>(head);
    while (true) {
        const std::size_t n = read(buffer.data(), kBlockBytes);
        if (n == 0) {
            break;
        }
        f.size += static_cast<std::uint32_t>(n);
        if (n < kUnsummedTail) {
            break;
        }
        f.bodySum += SumWords(buffer.data(), (n - kUnsummedTail) / 4);
    }
    return f;
}

}  // namespace

std::optional<Fingerprint> FileFingerprint(std::FILE* file) {
    if (file == nullptr) {
        return std::nullopt;
    }
    return Compute([file](unsigned char* buffer, std::size_t capacity) {
        return std::fread(buffer, 1, capacity, file);
    });
}

std::optional<Fingerprint> BytesFingerprint(std::string_view bytes) {
    std::size_t pos = 0;
    return Compute([&](unsigned char* buffer, std::size_t capacity) {
        const std::size_t n = std::min(capacity, bytes.size() - pos);
        std::memcpy(buffer, bytes.data() + pos, n);
        pos += n;
        return n;
    });
}

}  // namespace wg
