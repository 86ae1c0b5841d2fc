// Offline rewriting of saved web pages: the links of a page that is written
// into the download directory are edited so that they lead to the local
// copies of the files they name.
//
// In the mirrored layout (DOWNLOAD_DIR_STRUCTURE 0) the page goes through
// these passes, in this order, each over the whole text:
//   1. a page at the top of its site loses every "../";
//   2. absolute http(s) links into the site (any host ending with the site
//      domain) become relative paths "../"... into the host's directory;
//   3. absolute " src" values (any host) become relative paths as well;
//   4. a CSS url( value loses its leading '/';
//   5. every "%20" becomes a space;
//   6.-9. root-relative values of src, href, @import and action become
//      relative ones.
// The exact rules of each pass are in rewrite_links.cpp.
//
// In the other two layouts (one directory per site with flattened names, or
// everything flat in the download directory) the relative structure of the
// site is gone, so the edit there works from the page's own address: the
// "%20" pass runs as above, then every src, href, action, @import and url(
// value that names a page of the site (relative, root-relative, or absolute
// into the site domain; for src any host) is resolved against the page's
// address and replaced by the path of the file that the download worker
// saves for it, relative to the saved page.
//
// The text is taken as bytes; a zero byte is ordinary text. Links are never
// left broken for lack of room: the text grows as it needs.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace wg {

struct AppSettings;

// The options that shape the edit.
struct RewriteOptions {
    bool downloadAsIs = false;        // DOWNLOAD_AS_IS: no edit at all
    int dirStructure = 0;             // DOWNLOAD_DIR_STRUCTURE: 0 mirror, 1 site dir, 2 flat
    bool urlEscapeFilenames = false;  // URL_ESCAPE_FILENAMES (layouts 1 and 2)
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
};

// The site domain of a host: its text after the second-to-last dot, or the
// whole host when it has one dot, in lower case. Empty for a host without a
// dot (such a page is not edited).
std::string SiteDomainOf(std::string_view host);

// The file (relative to the download directory) that the download worker
// saves an absolute http URL as, in layout 1 or 2, with the "Web Pages" type
// on. `url` is "host/path" or "host" (no scheme; the host may carry a port).
std::string LayoutFileFor(std::string_view url, const RewriteOptions& options);

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
