#include <cstdio>
#include <string>

#include "app/app.h"
#include "app/app_fetch_environment.h"
#include "app/crawl_fetcher.h"
#include "app/crawl_work.h"
#include "download/rewrite_links.h"
#include "download/save_names.h"
#include "download/stylesheets.h"
#include "net/http_request.h"
#include "platform/files.h"

namespace wg {

namespace {

// Stylesheets larger than this are saved as they came and not read.
constexpr std::int64_t kStylesheetLimit = 4 * 1024 * 1024;

bool ReadSmallFile(const std::filesystem::path& path, std::string* text) {
    const std::int64_t size = platform::FileSize(path);
    if (size < 0 || size > kStylesheetLimit) {
        return false;
    }
    platform::FilePtr file = platform::OpenFile(path, "rb");
    if (!file) {
        return false;
    }
    text->resize(static_cast<std::size_t>(size));
    return std::fread(text->data(), 1, text->size(), file.get()) == text->size();
}

}  // namespace

void CrawlFetcher::ProcessStylesheet(const std::string& url) {
    if (!IsStylesheetUrl(url)) {
        return;
    }
    const WorkerUrl w = SplitWorkerUrl(url);
    if (w.pathOnly || w.hostName.empty()) {
        return;
    }
    const SaveNameOptions nameOptions = SaveNameOptionsFrom(settings_);
    std::string found;
    if (!FindOnDisk(w.url, nameOptions, DiskSearch{}, &found) || found.empty()) {
        return;
    }
    const std::filesystem::path file = paths_.downloadDir / found;
    std::string css;
    if (!ReadSmallFile(file, &css)) {
        return;
    }
    const std::string base = (w.secure ? "https://" : "http://") + w.host + "/" + w.path;
    for (const std::string& link : StylesheetLinks(css)) {
        if (const std::optional<std::string> target = ResolveReference(base, link)) {
            app_.Work().AddFileIfWanted(*target, {}, false);
        }
    }
    // A saved stylesheet is edited like a saved page, as a page in its own
    // directory.
    if ((settings_.dft.load() & kGroupWebPages) == 0) {
        return;
    }
    const StoredPath stored = NormalisePath(w.directory);
    PageLocation page;
    page.host = w.hostName;
    page.path = stored.path;
    page.name = w.file;
    page.depth = stored.depth;
    page.topLevel = w.directory.empty();
    page.hostAsWritten = w.host;
    page.secure = w.secure;
    const std::string rewritten = RewritePage(css, app_.RewriteOptionsFor(page.host), page);
    if (rewritten != css) {
        (void)platform::WriteFileAtomically(file, rewritten);
    }
}

}  // namespace wg
