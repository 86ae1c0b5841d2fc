// The "Dupe.bin" / "Dupe.dat" reader on arbitrary bytes: no read out of
// bounds, no name or directory longer than its field, and what it read
// writes as "Dupe.bin" and reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "dupes/dupe_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const wg::DupeFileContent first =
        wg::DecodeDupeFile({reinterpret_cast<const char*>(data), size});
    for (const wg::DupeRecord& r : first.records) {
        if (r.name.size() + 1 > wg::kDupeNameLimit || r.dir.size() + 1 > wg::kDupeDirLimit) {
            std::abort();
        }
    }
    const wg::DupeFileContent again = wg::DecodeDupeFile(wg::EncodeDupeBin(first.records));
    if (!again.currentFormat || again.records != first.records) {
        std::abort();
    }
    return 0;
}
