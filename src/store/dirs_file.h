// The ".dirs" file: the saved list of sub-directories to search, as an int32
// count and then each full path as a uint16 length (counting its zero byte)
// and its bytes with the zero byte, in the order the walk found them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wg {

// A stored path (with its zero byte) longer than this is refused.
inline constexpr std::size_t kDirsPathLimit = 260;

std::string EncodeDirsFile(const std::vector<std::string>& dirs);

struct DirsFileContent {
    std::int32_t dirCount = 0;  // as stored (0 when unreadable)
    std::vector<std::string> dirs;
    bool refused = false;  // a length beyond the limit ended the read
};

// Reads what can be read: an entry of length 0 adds nothing, a cut entry or
// a refused length ends the read with the entries before it.
DirsFileContent DecodeDirsFile(std::string_view bytes);

}  // namespace wg
