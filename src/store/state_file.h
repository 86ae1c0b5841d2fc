// The state file's byte layout: the page queue "Links To Grubble", the
// visited list and the "Files To Download" queue, little-endian, with no
// magic, checksum or terminator. Version 2 is written; versions 0 (no version
// word, 32-bit lengths, two flag bytes, no base URLs), 1 (two flag bytes,
// 16-bit lengths, base URLs) and 2 (one flag byte for page records, none for
// visited ones) are read. Every stored text is its bytes and a zero byte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "crawl/url_record.h"
#include "store/byte_io.h"

namespace wg {

inline constexpr std::int32_t kStateFileVersion = 2;
// A page record's base URL longer than this ends a load.
inline constexpr std::size_t kStateBaseUrlLimit = 6000;

// ---- writing (version 2) ----
void AppendStateHeader(std::string& out);  // the version word only
void AppendStateCount(std::string& out, std::int32_t count);
// False (nothing appended) when a text does not fit its 16-bit length.
bool AppendStatePageRecord(std::string& out, const UrlRecord& record);
bool AppendStateUrl(std::string& out, std::string_view url);  // visited and file URLs

// ---- reading ----
enum class StateRead {
    Ok,
    Corrupt,      // the bytes cannot be a record: the load is to be recovered
    BaseTooLong,  // a base URL beyond the limit: the load ends, no recovery
    End,          // the file ends where a list count was expected
};

class StateFileReader {
public:
    explicit StateFileReader(std::string_view bytes) : bytes_(bytes) {}

    // The version (0, 1 or 2) and the page count.
    StateRead ReadHeader();
    int Version() const { return version_; }
    std::int32_t PageCount() const { return pageCount_; }
    StateRead NextPage(UrlRecord* record);
    // The count of the visited list, then of "Files To Download"; End when
    // the file ends before it.
    StateRead ReadCount(std::int32_t* count);
    StateRead NextVisited(std::string* url);
    StateRead NextFileUrl(std::string* url);
    // A count to reserve for `count` records: never more than the bytes left
    // can hold.
    std::size_t ReserveFor(std::int32_t count) const;

private:
    StateRead ReadText(std::string* text, std::size_t limit);

    ByteReader bytes_;
    int version_ = 0;
    std::int32_t pageCount_ = 0;
};

}  // namespace wg
