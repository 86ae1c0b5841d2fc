// The download-history reader on arbitrary bytes: no read out of bounds, the
// surplus of a long file skipped, and what it read writes and reads back the
// same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "store/history_file.h"

namespace {

std::vector<std::string> Read(std::string_view bytes) {
    std::vector<std::string> urls;
    wg::HistoryFileReader reader(bytes);
    if (!reader.ReadCount()) {
        return urls;
    }
    std::int32_t i = 0;
    for (; i < reader.Surplus(); ++i) {
        if (!reader.SkipRecord()) {
            return urls;
        }
    }
    std::string url;
    for (; i < reader.Count() && reader.NextUrl(&url); ++i) {
        urls.push_back(url);
    }
    return urls;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> first = Read({reinterpret_cast<const char*>(data), size});
    std::string written;
    wg::AppendHistoryCount(written, static_cast<std::int32_t>(first.size()));
    for (const std::string& url : first) {
        wg::AppendHistoryUrl(written, url);
    }
    if (Read(written) != first) {
        std::abort();
    }
    return 0;
}
