// The byte layouts of the duplication data: "Dupe.bin" (written and read:
// the marker -1, a count, then per record its name and directory as int32
// lengths counting the zero byte with their bytes, and the three fingerprint
// words) and the older "Dupe.dat" (read only: a count, then per record the
// full path and the fingerprint words), all little-endian.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dupes/fingerprint.h"

namespace wg {

// A name or directory (with its zero byte) longer than these cannot be
// stored in a record.
inline constexpr std::size_t kDupeNameLimit = 256;
inline constexpr std::size_t kDupeDirLimit = 260;

struct DupeRecord {
    std::string name;  // the file's name without directory
    std::string dir;   // where it stands; may be empty
    Fingerprint print;

    bool operator==(const DupeRecord&) const = default;
};

// "Dupe.bin" for the records, oldest first. A record whose name or directory
// does not fit its field is left out (and not counted).
std::string EncodeDupeBin(const std::vector<DupeRecord>& records);

// The same in two steps for lists kept in other containers: the records one
// by one into a body (false, and nothing added, for one that does not fit),
// then the file of `count` records around that body.
bool AppendDupeRecord(std::string& body, const DupeRecord& record);
std::string DupeBinFile(std::int32_t count, std::string_view body);

struct DupeFileContent {
    bool currentFormat = false;  // "Dupe.bin" (marker -1) rather than "Dupe.dat"
    std::int32_t count = 0;      // as stored
    std::vector<DupeRecord> records;
    bool stoppedEarly = false;  // a record was cut, or too long for its fields
};

// Reads either format (told apart by the first int32). Reading stops at the
// first record that is cut or does not fit its fields, keeping the records
// before it. A "Dupe.dat" path is split at its last '\' or '/': the name
// after it, the directory up to and including it.
DupeFileContent DecodeDupeFile(std::string_view bytes);

}  // namespace wg
