// Pattern bytes for the files of the duplicate tests.
#pragma once

#include <cstdint>
#include <string>

#include "support/test_dirs.h"

namespace wg::test {

// `size` bytes of a sequence chosen by `seed`; a shorter run of the same
// seed is a prefix of a longer one.
inline std::string PatternBytes(std::size_t size, unsigned seed) {
    std::string s(size, '\0');
    std::uint32_t x = 2463534242u ^ seed;
    for (char& c : s) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x & 0xFF);
    }
    return s;
}

}  // namespace wg::test
