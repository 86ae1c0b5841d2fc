// The pieces of "Dupe.bin" and "Dupe.dat" spelled out byte by byte.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "support/test_dirs.h"

namespace wg::test {

// A 32-bit little-endian word: counts, lengths and sums.
inline std::string I32(std::int64_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i) {
        s.push_back(static_cast<char>((static_cast<std::uint64_t>(v) >> (8 * i)) & 0xFF));
    }
    return s;
}

// A text as the files hold it: its length with the zero byte, then the text and the zero byte.
inline std::string Sized(std::string_view text) {
    return I32(static_cast<std::int64_t>(text.size() + 1)) + std::string(text) + '\0';
}

// An older "Dupe.dat": the count, then each full path with the sums a, b, c.
inline std::string DatFile(std::initializer_list<std::string_view> paths, std::uint32_t a,
                           std::uint32_t b, std::uint32_t c) {
    std::string dat = I32(static_cast<std::int64_t>(paths.size()));
    for (std::string_view path : paths) {
        dat += Sized(path) + I32(a) + I32(b) + I32(c);
    }
    return dat;
}

}  // namespace wg::test
