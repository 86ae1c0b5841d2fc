// Dynamic page names on arbitrary local names, run in a scratch download
// directory: no crash, nothing written beside the download directory, and a
// stored name holds no '?', '=' or '&' and fits its 1,040-byte buffer.
//
// The first byte picks the options (bit 0: one parameter only, bits 1-2: the
// default script type); the rest is the name. A name without '?' gets one.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>

#include "download/dynamic_pages.h"
#include "download/save_paths.h"

namespace {

namespace fs = std::filesystem;

struct Scratch {
    fs::path base;
    fs::path downloads;

    Scratch() {
        base = fs::temp_directory_path() / ("wg_dynamic_names_fuzz_" + std::to_string(getpid()));
        downloads = base / "dl";
        std::error_code ec;
        fs::remove_all(base, ec);
        fs::create_directories(downloads);
        fs::current_path(downloads);
    }
    ~Scratch() {
        std::error_code ec;
        fs::current_path(fs::temp_directory_path(), ec);
        fs::remove_all(base, ec);
    }

    void Reset() const {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(downloads, ec)) {
            fs::remove_all(entry.path(), ec);
        }
        fs::create_directories(downloads / "www_example_com", ec);
        for (const char* index : {"index.html", "www_example_com/index.html"}) {
            std::ofstream(index) << "<html>home</html>";
        }
    }

    // Everything written stayed below the download directory.
    bool NothingEscaped() const {
        std::error_code ec;
        return std::distance(fs::directory_iterator(base, ec), fs::directory_iterator()) == 1;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Scratch scratch;
    static std::mutex mutex;
    static wg::RedirectFileRecords records;
    if (size == 0) {
        return 0;
    }
    wg::DynamicPageOptions options;
    options.singleRedirectParam = (data[0] & 1) != 0;
    options.defaultType = (data[0] >> 1) & 3;
    std::string name(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (name.find('?') == std::string::npos) {
        name += "?id=1";
    }
    scratch.Reset();
    if (records.size() > 64) {
        records.clear();
    }

    wg::RedirectFileList redirects(mutex, records);
    const auto quiet = [](std::string_view) {};
    std::string stored = name;
    if (wg::MakeDynamicPage(stored, stored.find('?'), options, redirects, quiet, quiet)) {
        if (stored.find_first_of("?=&") != std::string::npos ||
            stored.size() >= wg::kLocalPathCapacity) {
            std::abort();
        }
    }
    std::string probe = name;
    (void)wg::DynamicPageExists(probe, options);
    if (!scratch.NothingEscaped()) {
        std::abort();
    }
    return 0;
}
