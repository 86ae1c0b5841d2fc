// "History.dta": the download history, oldest first, as an int32 count and
// then each URL as an int32 length (counting its zero byte) and its bytes
// with the zero byte. No header, version or terminator.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "store/byte_io.h"

namespace wg {

// The loader keeps at most this many records: the newest ones.
inline constexpr std::int32_t kHistoryFileLimit = 65536;

void AppendHistoryCount(std::string& out, std::int32_t count);
void AppendHistoryUrl(std::string& out, std::string_view url);

class HistoryFileReader {
public:
    explicit HistoryFileReader(std::string_view bytes) : bytes_(bytes) {}

    // False when the file is too short for its count (or the count is
    // negative: read as an empty history).
    bool ReadCount();
    std::int32_t Count() const { return count_; }
    // How many of the oldest records a load passes over.
    std::int32_t Surplus() const {
        return count_ > kHistoryFileLimit ? count_ - kHistoryFileLimit : 0;
    }
    // Passes over one record; false when the file ends inside it.
    bool SkipRecord();
    // The next record's text; false when the file ends inside it.
    bool NextUrl(std::string* url);

private:
    bool ReadLength(std::size_t* length);

    ByteReader bytes_;
    std::int32_t count_ = 0;
};

}  // namespace wg
