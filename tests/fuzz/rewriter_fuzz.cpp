// The offline page rewriter on arbitrary bytes: no read out of bounds, and a
// page handed over in three pieces (cut where the input says) is rewritten
// exactly as the whole page is, in every layout.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "download/rewrite_links.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    // Four control bytes: layout and depth, top level, two cut points.
    const unsigned layout = data[0] % 3;
    const unsigned depth = (data[0] / 3) % 4;
    wg::RewriteOptions options;
    options.dirStructure = static_cast<int>(layout);
    options.urlEscapeFilenames = (data[1] & 2) != 0;
    wg::PageLocation page;
    page.host = (data[1] & 4) != 0 ? "www.example.com" : "a.b";
    page.depth = depth;
    page.path = depth == 0 ? "" : "x/y";
    page.name = "p.html";
    page.topLevel = (data[1] & 1) != 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 4, size - 4);
    std::size_t cut1 = data[2] * text.size() / 256;
    std::size_t cut2 = cut1 + data[3] * (text.size() - cut1) / 256;

    const std::string whole = wg::RewritePage(text, options, page);
    wg::PageRewriter rewriter(options, page);
    std::string out;
    rewriter.Chunk(text.substr(0, cut1), out);
    rewriter.Chunk(text.substr(cut1, cut2 - cut1), out);
    rewriter.Chunk(text.substr(cut2), out);
    rewriter.Finish(out);
    if (out != whole) {
        __builtin_trap();
    }
    return 0;
}
