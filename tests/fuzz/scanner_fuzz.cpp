// The link scanner on arbitrary bytes, read by length with no terminator: no
// read out of bounds, no crash, no endless walk. The first byte picks the
// scope and a few options so that every pass runs.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "crawl/link_scanner.h"
#include "settings/app_settings.h"

namespace {

class NullSink : public wg::LinkSink {
public:
    wg::UrlRecordPtr AddSite(std::string_view, std::uint8_t, std::uint8_t, std::uint8_t, bool,
                             const std::string*) override {
        return nullptr;
    }
    void AddFile(std::string_view, bool, bool) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static wg::AppSettings settings;
    const std::uint8_t options = data[0];
    // An exact-size copy, so that a read past the end is caught.
    const std::size_t length = size - 1;
    auto bytes = std::make_unique<char[]>(length == 0 ? 1 : length);
    std::copy(data + 1, data + size, bytes.get());
    const std::string_view body(bytes.get(), length);

    settings.logDebug = (options & 4) != 0;
    settings.dft = (options & 8) != 0 ? wg::kGroupWebPages : wg::kGroupPictures;
    settings.types.Set(wg::TypeKind::FileTypes, (options & 16) != 0 ? ".jpg;.htm" : "!.exe;.");
    settings.types.Set(wg::TypeKind::ExclusionTypes, (options & 32) != 0 ? "ads" : "");

    wg::UrlRecord record;
    record.url = (options & 64) != 0 ? "http://www.example.com/dir/page.php?x=1/y"
                                     : "http://www.example.com/dir/index.htm";
    record.allLinked = (options & 1) != 0;
    record.withinDomain = (options & 2) != 0;
    if ((options & 128) != 0) {
        record.baseUrl = "http://www.example.com/dir";
        record.hasBaseUrl = true;
    }
    wg::FetchedPage page;
    page.body = body;
    page.host = "www.example.com";
    page.domain = "example.com";

    NullSink sink;
    wg::ScanPage(settings, sink, page, record, 0);
    wg::ScanScript(settings, sink, page, record, 0);
    return 0;
}
