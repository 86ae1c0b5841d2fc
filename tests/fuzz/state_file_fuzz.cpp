// The state-file reader on arbitrary bytes: no read out of bounds, and what it
// read, written again as version 2, reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "../store/state_read_back.h"
#include "store/state_file.h"

namespace {

using Lists = wg::test::StateReadBack;

std::string Write(const Lists& lists) {
    std::string out;
    wg::AppendStateHeader(out);
    wg::AppendStateCount(out, static_cast<std::int32_t>(lists.pages.size()));
    for (const wg::UrlRecord& r : lists.pages) {
        if (!wg::AppendStatePageRecord(out, r)) {
            std::abort();  // everything read must be writable
        }
    }
    for (const auto* list : {&lists.visited, &lists.files}) {
        wg::AppendStateCount(out, static_cast<std::int32_t>(list->size()));
        for (const std::string& url : *list) {
            (void)wg::AppendStateUrl(out, url);
        }
    }
    return out;
}

bool Same(const wg::UrlRecord& a, const wg::UrlRecord& b) {
    return a.url == b.url && a.hasBaseUrl == b.hasBaseUrl && a.baseUrl == b.baseUrl &&
           a.allLinked == b.allLinked && a.withinDomain == b.withinDomain &&
           a.thirdFlag == b.thirdFlag;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Lists first = wg::test::ReadStateFile({reinterpret_cast<const char*>(data), size});
    // Version 2 keeps one bit per flag and 16-bit lengths: normalise before
    // comparing (a version-0 text too long for version 2 is not written).
    Lists normal = first;
    auto tooLong = [](const std::string& url) { return url.size() > 0xFFFE; };
    std::erase_if(normal.pages, [&](const wg::UrlRecord& r) { return tooLong(r.url); });
    std::erase_if(normal.visited, tooLong);
    std::erase_if(normal.files, tooLong);
    for (wg::UrlRecord& r : normal.pages) {
        r.allLinked = r.allLinked != 0 ? 1 : 0;
        r.withinDomain = r.withinDomain != 0 ? 1 : 0;
        r.thirdFlag = r.thirdFlag != 0 ? 1 : 0;
    }
    const std::string written = Write(normal);
    const Lists again = wg::test::ReadStateFile(written);
    if (again.pages.size() != normal.pages.size() || again.visited != normal.visited ||
        again.files != normal.files) {
        std::abort();
    }
    for (std::size_t i = 0; i < again.pages.size(); ++i) {
        if (!Same(again.pages[i], normal.pages[i])) {
            std::abort();
        }
    }
    return 0;
}
