// Mirrors the demo site that ships with the project, served by a real nginx,
// once in each directory layout, and checks the download directory file by
// file: every page and file under the name the layout gives it, nothing else,
// files byte for byte, pages with the same text apart from their link targets,
// and every link of a saved page leading to a saved file. When the browser
// check is set up (tests/browser), the offline copy is then opened in a
// headless browser as well.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <regex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "cli/site_files.h"
#include "support/child_process.h"
#include "support/shared_nginx.h"
#include "support/test_dirs.h"

namespace wg::test {
namespace {

namespace fs = std::filesystem;

const fs::path kSourceDir = WG_SOURCE_DIR;
const std::string kCli = WG_CLI_PATH;

// The test server has no type table of its own beyond html and txt; the
// demo's files go out with the types any web server gives them.
constexpr std::string_view kTypes =
    "types { text/html html; text/css css; application/javascript js; "
    "image/png png; image/gif gif; image/jpeg jpg; }\n";

enum class Kind {
    Page,    // a page or stylesheet, rewritten on its way to disk; `source` is its original
    File,    // saved byte for byte; `source` is the file
    Script,  // the redirect script of the query page; `source` is its name prefix
};

// One file expected in the download directory.
struct Saved {
    std::string name;
    std::string source;
    Kind kind;
};

// The names the mirrored layout gives the demo site below "127_0_0_1/",
// worked out by hand from the naming rules. The start address loses its
// final '/' when it is queued as a file, so the start page is the host's
// index page; "index.html" is also linked from the pages and lands on the
// same name. gallery.php?page=N is stored as gallery.php_page_N.html, with the
// redirect script at gallery.php and the start page kept as the script's
// "_n0n3" page (the page for a missing query value).
const std::vector<Saved> kMirrored = {
    {"index.html", "index.html", Kind::Page},
    {"about.html", "about.html", Kind::Page},
    {"journal/index.html", "journal/index.html", Kind::Page},
    {"journal/spring.html", "journal/spring.html", Kind::Page},
    {"journal/2024/harvest.html", "journal/2024/harvest.html", Kind::Page},
    {"gallery.php_page_1.html", "gallery/page-1.html", Kind::Page},
    {"gallery.php_page_2.html", "gallery/page-2.html", Kind::Page},
    {"gallery.php_page_n0n3.html", "index.html", Kind::Page},
    {"gallery.php", "gallery.php_page", Kind::Script},
    {"css/site.css", "css/site.css", Kind::Page},
    {"css/print.css", "css/print.css", Kind::Page},
    {"js/menu.js", "js/menu.js", Kind::File},
    {"images/logo.png", "images/logo.png", Kind::File},
    {"images/garden.jpg", "images/garden.jpg", Kind::File},
    {"images/leaf.gif", "images/leaf.gif", Kind::File},
    {"images/sprout.png", "images/sprout.png", Kind::File},
    {"images/tomato.jpg", "images/tomato.jpg", Kind::File},
};

// The same files in layout `mode`: in the directory named after the site the
// path's '/' become '_'; without sub-directories those flat names start with
// the host as written, port included (the script keeps the dotted name, so
// that it finds its pages), and the start address, which has no path at all,
// is saved as "index.html" too.
std::vector<Saved> Layout(int mode, const std::string& port) {
    std::vector<Saved> layout;
    if (mode == 2) {
        layout.push_back({"index.html", "index.html", Kind::Page});
    }
    const std::string host = "127.0.0.1:" + port + "_";
    for (Saved s : kMirrored) {
        std::string flat = s.name;
        std::replace(flat.begin(), flat.end(), '/', '_');
        s.name = mode == 0 ? "127_0_0_1/" + s.name : mode == 1 ? "127_0_0_1/" + flat : host + flat;
        if (mode == 2 && s.kind == Kind::Script) {
            s.source = host + s.source;
        }
        layout.push_back(s);
    }
    return layout;
}

// Calls `visit` with the position and length of every link target in a page:
// the values of href, src and action, the insides of url( ), and the quoted
// value of an @import; each name only where no letter, digit, '-' or '_'
// comes before it.
void ForEachLinkTarget(const std::string& text,
                       const std::function<void(std::size_t, std::size_t)>& visit) {
    static const std::regex kLink(
        R"((?:^|[^A-Za-z0-9_-]))"
        R"((?:(?:href|src|action)[ \t\r\n]*=[ \t\r\n]*(?:"([^"]*)|'([^']*)|([^ \t\r\n>]*)))"
        R"(|url\([ \t\r\n]*(?:"([^"]*)|'([^']*)|([^ \t\r\n)]*)))"
        R"(|@import[ \t\r\n]*(?:"([^"]*)|'([^']*))))",
        std::regex::icase);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), kLink);
         it != std::sregex_iterator(); ++it) {
        for (std::size_t group = 1; group < it->size(); ++group) {
            if ((*it)[group].matched) {
                visit(static_cast<std::size_t>(it->position(group)),
                      static_cast<std::size_t>(it->length(group)));
            }
        }
    }
}

// The text of a page without its link targets, quotes and white space: what
// offline rewriting must leave as it was (it pads the links it shortens and
// may move their quotes).
std::string WithoutLinkTargets(const std::string& page) {
    std::vector<bool> blank(page.size(), false);
    ForEachLinkTarget(page, [&](std::size_t at, std::size_t size) {
        std::fill_n(blank.begin() + static_cast<std::ptrdiff_t>(at), size, true);
    });
    std::string kept;
    for (std::size_t i = 0; i < page.size(); ++i) {
        if (!blank[i] && std::string_view(" \t\r\n\"'").find(page[i]) == std::string_view::npos) {
            kept += page[i];
        }
    }
    return kept;
}

// Empty when `saved` and `source` are equal, else both texts around the first
// byte where they part.
std::string FirstDifference(const std::string& saved, const std::string& source) {
    std::size_t at = 0;
    while (at < saved.size() && at < source.size() && saved[at] == source[at]) {
        ++at;
    }
    if (at == saved.size() && at == source.size()) {
        return "";
    }
    const std::size_t from = at < 40 ? 0 : at - 40;
    return "saved: ..." + saved.substr(from, 100) + "\nsource: ..." + source.substr(from, 100);
}

// The link targets of a saved page that lead to no saved file. A query or
// fragment is dropped first, as a browser does for a file.
std::vector<std::string> BrokenLinks(const fs::path& downloads, const fs::path& page) {
    const std::string text = ReadWholeFile(page);
    std::vector<std::string> broken;
    ForEachLinkTarget(text, [&](std::size_t at, std::size_t size) {
        const std::string link = text.substr(at, size);
        const std::string target = link.substr(0, link.find_first_of("?#"));
        if (target.empty() || target.starts_with("data:") || target.starts_with("mailto:") ||
            target.starts_with("javascript:")) {
            return;
        }
        const fs::path resolved = (page.parent_path() / target).lexically_normal();
        const fs::path inside = resolved.lexically_relative(downloads.lexically_normal());
        if (target.front() == '/' || target.find("//") != std::string::npos || inside.empty() ||
            *inside.begin() == ".." || !fs::is_regular_file(resolved)) {
            broken.push_back(link);
        }
    });
    return broken;
}

class MirrorEndToEnd : public SharedNginxSuite<> {
protected:
    static void SetUpTestSuite() {
        std::string config(kTypes);
        config += ReadWholeFile(kSourceDir / "demo" / "nginx-locations.conf");
        Start(kSourceDir / "demo" / "site", config);
    }

    // Mirrors the site in layout `mode` with the workers of `workers` and
    // checks the download directory; then runs the browser check from `startPage`.
    void MirrorAndCheck(int mode, const std::string& startPage,
                        const std::vector<std::string>& workers) {
        const std::string port = std::to_string(server_->HttpPort());
        std::vector<std::string> args = DomainCrawlArgs(home_.path());
        args.insert(args.end(), {"--set", "DOWNLOAD_DIR_STRUCTURE=" + std::to_string(mode)});
        for (const std::string& setting : workers) {
            args.insert(args.end(), {"--set", setting});
        }
        args.push_back("http://127.0.0.1:" + port + "/");
        std::string out;
        ASSERT_EQ(RunProgram(kCli, args, &out), 0) << out;
        const fs::path downloads = home_ / "Downloads";
        const fs::path site = kSourceDir / "demo" / "site";

        std::set<std::string> names;
        for (const Saved& s : Layout(mode, port)) {
            names.insert(s.name);
            const fs::path saved = downloads / s.name;
            const std::string bytes = ReadWholeFile(saved);
            if (s.kind == Kind::File || !fs::is_regular_file(saved)) {
                EXPECT_EQ(CompareSaved(saved, ReadWholeFile(site / s.source)), "")
                    << s.name << " from " << s.source;
            } else if (s.kind == Kind::Page) {
                EXPECT_EQ(FirstDifference(WithoutLinkTargets(bytes),
                                          WithoutLinkTargets(ReadWholeFile(site / s.source))),
                          "")
                    << s.name << " is not the text of " << s.source;
                EXPECT_EQ(BrokenLinks(downloads, saved), std::vector<std::string>{})
                    << "links of " << s.name << " that lead to no saved file";
            } else {
                EXPECT_TRUE(bytes.starts_with("<?php\n")) << s.name;
                EXPECT_NE(bytes.find("$main = 'page';"), std::string::npos) << s.name;
                EXPECT_NE(bytes.find('\'' + s.source + "_n0n3.html'"), std::string::npos)
                    << s.name << " does not fall back on " << s.source << "_n0n3.html";
                EXPECT_NE(bytes.find('\'' + s.source + "_' . "), std::string::npos)
                    << s.name << " does not serve " << s.source << "_*.html";
            }
        }
        EXPECT_EQ(UnexpectedFiles(downloads, names), std::set<std::string>{})
            << "files nobody asked for; the error log holds:\n"
            << (fs::exists(downloads / "Error.log") ? ReadWholeFile(downloads / "Error.log") : "");
        // Without the browser check set up (tests/browser) the copy is not opened.
        if (fs::is_regular_file(kSourceDir / "tests" / "browser" / "check_mirror.mjs")) {
            RunBrowserCheck({}, downloads, startPage, "mode-" + std::to_string(mode) + ".png");
        }
    }

    TempDir home_;
};

// One download worker: the start page is on disk before the first query page.
const std::vector<std::string> kOneDownloadWorker = {"NUM_DOWNLOAD_THREADS=1"};
// The fast settings: query pages may come before the start page, and the
// connections stay open between requests.
const std::vector<std::string> kFastSettings = {"NUM_URL_THREADS=8", "NUM_DOWNLOAD_THREADS=2",
                                                "MIN_DOWNLOAD_QUEUE=100000", "KEEP_ALIVE=1"};

TEST_F(MirrorEndToEnd, MirroredDirectories) {
    MirrorAndCheck(0, "127_0_0_1/index.html", kOneDownloadWorker);
}

TEST_F(MirrorEndToEnd, DirectoryNamedAfterSite) {
    MirrorAndCheck(1, "127_0_0_1/index.html", kFastSettings);
}

TEST_F(MirrorEndToEnd, NoSubDirectories) {
    MirrorAndCheck(2, "index.html", kFastSettings);
}

}  // namespace
}  // namespace wg::test
