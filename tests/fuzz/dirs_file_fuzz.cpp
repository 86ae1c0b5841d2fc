// The ".dirs" reader on arbitrary bytes: no read out of bounds, no path longer
// than the limit, and what it read writes and reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "store/dirs_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const wg::DirsFileContent first =
        wg::DecodeDirsFile({reinterpret_cast<const char*>(data), size});
    for (const std::string& dir : first.dirs) {
        if (dir.size() + 1 > wg::kDirsPathLimit) {
            std::abort();
        }
    }
    const wg::DirsFileContent again = wg::DecodeDirsFile(wg::EncodeDirsFile(first.dirs));
    if (again.dirs != first.dirs) {
        std::abort();
    }
    return 0;
}
