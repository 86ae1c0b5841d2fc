// Offline rewriting of saved web pages: the links of a page that is written
// into the download directory are edited so that they lead to the local
// copies of the files they name.
//
// Every src, srcset, href, action, poster, @import and url( value is resolved
// against the page's own address (character references decoded, dot segments
// folded) and then
//   - pointed at the file the download worker saves for that address,
//     relative to the saved page, when the crawl saves it (the `willSave`
//     question): a query page's link names its stored page, and the bytes a
//     browser would read as escapes, query or fragment are escaped;
//   - otherwise made absolute, so that a link to a file this crawl never
//     fetches still leads to the site instead of to a file that is not there.
// Fragments stay. Other schemes (mailto:, javascript:, data:) and bare
// fragments are left alone. The same edit serves every directory layout.
//
// The text is taken as bytes; a zero byte is ordinary text. Links are never
// left broken for lack of room: the text grows as it needs.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace wg {

struct AppSettings;

// The options that shape the edit.
struct RewriteOptions {
    bool downloadAsIs = false;         // DOWNLOAD_AS_IS: no edit at all
    int dirStructure = 0;              // DOWNLOAD_DIR_STRUCTURE: 0 mirror, 1 site dir, 2 flat
    bool urlEscapeFilenames = false;   // URL_ESCAPE_FILENAMES (layouts 1 and 2)
    bool singleRedirectParam = false;  // SINGLE_REDIRECT_PARAM: how query pages are named
    // Does this crawl save (or has it saved) the absolute http(s) URL? Empty:
    // the addresses on hosts of the page's site domain are saved, and " src"
    // values on any host.
    std::function<bool(std::string_view url, bool isSource)> willSave;
};

RewriteOptions RewriteOptionsFrom(const AppSettings& settings);

// Where the page being saved came from.
struct PageLocation {
    std::string host;       // the connection's host, without a port
    std::string path;       // directory part of the URL path, no leading or trailing '/'
    std::string name;       // the requested name (may hold a query)
    unsigned depth = 0;     // directory levels of `path`
    bool topLevel = false;  // `name` has no '/' and `path` is empty
    // The host as the page's URL names it, a port included (":8080"); the
    // flat layout's file names keep it. Empty: the same as `host`.
    std::string hostAsWritten;
    bool secure = false;  // fetched over https
};

// The site domain of a host: its text after the second-to-last dot, or the
// whole host when it has one dot, in lower case. Empty for a host without a
// dot (such a page is not edited).
std::string SiteDomainOf(std::string_view host);

// The whole page at once.
std::string RewritePage(std::string_view text, const RewriteOptions& options,
                        const PageLocation& page);

// The edit of one page received in pieces. Chunk() takes the next received
// bytes and appends to `out` what is final; the end of a piece that may be
// the start of a link is held back until the next piece shows it whole.
// Finish() appends the rest; call it once, when the transfer ends (also when
// it ends early). Chunks then Finish give exactly what RewritePage gives for
// the whole text, however the text is cut.
class PageRewriter {
public:
    PageRewriter(const RewriteOptions& options, const PageLocation& page);
    ~PageRewriter();
    PageRewriter(const PageRewriter&) = delete;
    PageRewriter& operator=(const PageRewriter&) = delete;

    void Chunk(std::string_view data, std::string& out);
    void Finish(std::string& out);

    // Bytes taken but not yet handed out.
    std::size_t Held() const;

    struct Stage;  // one pass and the text it still holds

private:
    void Feed(std::size_t stage, std::string_view data, std::string& out);

    std::vector<std::unique_ptr<Stage>> stages_;
    bool finished_ = false;
};

}  // namespace wg
