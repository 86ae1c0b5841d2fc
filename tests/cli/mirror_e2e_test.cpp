// Mirrors the demo site that ships with the project, served by a real nginx,
// once in each directory layout, and checks the download directory file by
// file: every page and file under the name the layout gives it, nothing else,
// files byte for byte, pages with the same text apart from their link targets,
// and every link of a saved page leading to a saved file. When the browser
// check is set up (tests/browser), the offline copy is then opened in a
// headless browser as well.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "support/child_process.h"
#include "support/nginx_server.h"
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

// What the browser check reports with exit status 3: its node module or
// Chromium is missing.
constexpr int kBrowserUnavailable = 3;

enum class Kind {
    Page,    // a page or stylesheet, rewritten on its way to disk; `source` is its original
    File,    // saved byte for byte; `source` is the file
    Script,  // the redirect script of the query page; `source` is its name prefix
};

// One file expected below Downloads/. "{port}" stands for nginx's port.
struct Saved {
    std::string name;
    std::string source;
    Kind kind;
};

// The names each layout gives the demo site, worked out by hand from the
// naming rules. The start address loses its final '/' when it is queued as a
// file, so the start page is the host's index page; "index.html" is also
// linked from the pages and lands on the same name in the two directory
// layouts. gallery.php?page=N is stored as gallery.php_page_N.php, with the
// redirect script at gallery.php and the start page kept as the script's
// "_n0n3" page (the page for a missing query value).
const std::vector<Saved> kMirroredDirectories = {
    {"127_0_0_1/index.html", "index.html", Kind::Page},
    {"127_0_0_1/about.html", "about.html", Kind::Page},
    {"127_0_0_1/journal/index.html", "journal/index.html", Kind::Page},
    {"127_0_0_1/journal/spring.html", "journal/spring.html", Kind::Page},
    {"127_0_0_1/journal/2024/harvest.html", "journal/2024/harvest.html", Kind::Page},
    {"127_0_0_1/gallery.php_page_1.php", "gallery/page-1.html", Kind::Page},
    {"127_0_0_1/gallery.php_page_2.php", "gallery/page-2.html", Kind::Page},
    {"127_0_0_1/gallery.php_page_n0n3.php", "index.html", Kind::Page},
    {"127_0_0_1/gallery.php", "gallery.php_page", Kind::Script},
    {"127_0_0_1/css/site.css", "css/site.css", Kind::Page},
    {"127_0_0_1/css/print.css", "css/print.css", Kind::Page},
    {"127_0_0_1/js/menu.js", "js/menu.js", Kind::File},
    {"127_0_0_1/images/logo.png", "images/logo.png", Kind::File},
    {"127_0_0_1/images/garden.jpg", "images/garden.jpg", Kind::File},
    {"127_0_0_1/images/leaf.gif", "images/leaf.gif", Kind::File},
    {"127_0_0_1/images/sprout.png", "images/sprout.png", Kind::File},
    {"127_0_0_1/images/tomato.jpg", "images/tomato.jpg", Kind::File},
};

const std::vector<Saved> kDirectoryNamedAfterSite = {
    {"127_0_0_1/index.html", "index.html", Kind::Page},
    {"127_0_0_1/about.html", "about.html", Kind::Page},
    {"127_0_0_1/journal_index.html", "journal/index.html", Kind::Page},
    {"127_0_0_1/journal_spring.html", "journal/spring.html", Kind::Page},
    {"127_0_0_1/journal_2024_harvest.html", "journal/2024/harvest.html", Kind::Page},
    {"127_0_0_1/gallery.php_page_1.php", "gallery/page-1.html", Kind::Page},
    {"127_0_0_1/gallery.php_page_2.php", "gallery/page-2.html", Kind::Page},
    {"127_0_0_1/gallery.php_page_n0n3.php", "index.html", Kind::Page},
    {"127_0_0_1/gallery.php", "gallery.php_page", Kind::Script},
    {"127_0_0_1/css_site.css", "css/site.css", Kind::Page},
    {"127_0_0_1/css_print.css", "css/print.css", Kind::Page},
    {"127_0_0_1/js_menu.js", "js/menu.js", Kind::File},
    {"127_0_0_1/images_logo.png", "images/logo.png", Kind::File},
    {"127_0_0_1/images_garden.jpg", "images/garden.jpg", Kind::File},
    {"127_0_0_1/images_leaf.gif", "images/leaf.gif", Kind::File},
    {"127_0_0_1/images_sprout.png", "images/sprout.png", Kind::File},
    {"127_0_0_1/images_tomato.jpg", "images/tomato.jpg", Kind::File},
};

// Without sub-directories every name starts with the host as written, port
// included; the start address has no path at all and becomes "index.html".
// The script keeps the dotted name, so that it finds its pages.
const std::vector<Saved> kNoSubDirectories = {
    {"index.html", "index.html", Kind::Page},
    {"127.0.0.1:{port}_index.html", "index.html", Kind::Page},
    {"127.0.0.1:{port}_about.html", "about.html", Kind::Page},
    {"127.0.0.1:{port}_journal_index.html", "journal/index.html", Kind::Page},
    {"127.0.0.1:{port}_journal_spring.html", "journal/spring.html", Kind::Page},
    {"127.0.0.1:{port}_journal_2024_harvest.html", "journal/2024/harvest.html", Kind::Page},
    {"127.0.0.1:{port}_gallery.php_page_1.php", "gallery/page-1.html", Kind::Page},
    {"127.0.0.1:{port}_gallery.php_page_2.php", "gallery/page-2.html", Kind::Page},
    {"127.0.0.1:{port}_gallery.php_page_n0n3.php", "index.html", Kind::Page},
    {"127.0.0.1:{port}_gallery.php", "127.0.0.1:{port}_gallery.php_page", Kind::Script},
    {"127.0.0.1:{port}_css_site.css", "css/site.css", Kind::Page},
    {"127.0.0.1:{port}_css_print.css", "css/print.css", Kind::Page},
    {"127.0.0.1:{port}_js_menu.js", "js/menu.js", Kind::File},
    {"127.0.0.1:{port}_images_logo.png", "images/logo.png", Kind::File},
    {"127.0.0.1:{port}_images_garden.jpg", "images/garden.jpg", Kind::File},
    {"127.0.0.1:{port}_images_leaf.gif", "images/leaf.gif", Kind::File},
    {"127.0.0.1:{port}_images_sprout.png", "images/sprout.png", Kind::File},
    {"127.0.0.1:{port}_images_tomato.jpg", "images/tomato.jpg", Kind::File},
};

std::string WithPort(std::string text, const std::string& port) {
    for (std::size_t at; (at = text.find("{port}")) != std::string::npos;) {
        text.replace(at, 6, port);
    }
    return text;
}

bool IsSpace(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n';
}

bool IsWordChar(char ch) {
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
           ch == '-' || ch == '_';
}

bool KeywordAt(std::string_view text, std::size_t at, std::string_view keyword) {
    if (text.size() - at < keyword.size() || (at > 0 && IsWordChar(text[at - 1]))) {
        return false;
    }
    for (std::size_t i = 0; i < keyword.size(); ++i) {
        const char ch = text[at + i];
        if ((ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch) != keyword[i]) {
            return false;
        }
    }
    return true;
}

// Calls `visit` with the position and length of every link target in a page:
// the values of href, src and action, the insides of url( ), and the quoted
// value of an @import.
void ForEachLinkTarget(std::string_view text,
                       const std::function<void(std::size_t, std::size_t)>& visit) {
    auto skipSpaces = [&](std::size_t p) {
        while (p < text.size() && IsSpace(text[p])) {
            ++p;
        }
        return p;
    };
    // A quoted value, or up to a byte of `stops` (or a space) without quotes.
    auto value = [&](std::size_t p, std::string_view stops) {
        if (p < text.size() && (text[p] == '"' || text[p] == '\'')) {
            const std::size_t close = text.find(text[p], p + 1);
            const std::size_t end = close == std::string_view::npos ? text.size() : close;
            visit(p + 1, end - p - 1);
            return end;
        }
        std::size_t end = p;
        while (end < text.size() && !IsSpace(text[end]) && stops.find(text[end]) == stops.npos) {
            ++end;
        }
        visit(p, end - p);
        return end;
    };
    for (std::size_t p = 0; p < text.size(); ++p) {
        for (const std::string_view attribute : {"href", "src", "action"}) {
            if (KeywordAt(text, p, attribute)) {
                const std::size_t eq = skipSpaces(p + attribute.size());
                if (eq < text.size() && text[eq] == '=') {
                    p = value(skipSpaces(eq + 1), ">");
                }
                break;
            }
        }
        if (p < text.size() && KeywordAt(text, p, "url(")) {
            p = value(skipSpaces(p + 4), ")");
        } else if (p < text.size() && KeywordAt(text, p, "@import")) {
            const std::size_t v = skipSpaces(p + 7);
            if (v < text.size() && (text[v] == '"' || text[v] == '\'')) {
                p = value(v, "");
            }
        }
    }
}

// The text of a page without its link targets, quotes and white space: what
// offline rewriting must leave as it was (it pads the links it shortens and
// may move their quotes).
std::string WithoutLinkTargets(std::string_view page) {
    std::vector<bool> blank(page.size(), false);
    ForEachLinkTarget(page, [&](std::size_t at, std::size_t size) {
        std::fill_n(blank.begin() + static_cast<std::ptrdiff_t>(at), size, true);
    });
    std::string kept;
    for (std::size_t i = 0; i < page.size(); ++i) {
        if (!blank[i] && !IsSpace(page[i]) && page[i] != '"' && page[i] != '\'') {
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

// The first executable `name` on PATH; empty when there is none.
std::string FindOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path != nullptr ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        const fs::path candidate = fs::path(dir) / name;
        std::error_code ec;
        if (!dir.empty() && fs::is_regular_file(candidate, ec) &&
            (fs::status(candidate, ec).permissions() & fs::perms::owner_exec) != fs::perms::none) {
            return candidate.string();
        }
    }
    return "";
}

class MirrorEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (NginxServer::FindBinary().empty()) {
            return;
        }
        std::string config(kTypes);
        config += ReadWholeFile(kSourceDir / "demo" / "nginx-locations.conf");
        server_ = new NginxServer(kSourceDir / "demo" / "site", config);
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        if (server_ == nullptr) {
            GTEST_SKIP() << "nginx is not installed (scripts/setup.sh installs it)";
        }
        ASSERT_TRUE(server_->Running()) << server_->Error();
    }

    // Mirrors the site in `mode` and checks the download directory against
    // `expected`; then runs the browser check from `startPage`.
    void MirrorAndCheck(int mode, const std::vector<Saved>& expected,
                        const std::string& startPage) {
        const std::string port = std::to_string(server_->HttpPort());
        std::string out;
        // One download worker, so that the start page is on disk before the
        // first query page is stored (its "_n0n3" copy is taken from it).
        ASSERT_EQ(RunProgram(kCli,
                             {"--home", home_.path().string(), "--scope", "domain", "--types",
                              "web,pictures", "--no", "-q", "--set",
                              "DOWNLOAD_DIR_STRUCTURE=" + std::to_string(mode), "--set",
                              "NUM_DOWNLOAD_THREADS=1", "http://127.0.0.1:" + port + "/"},
                             &out),
                  0)
            << out;
        const fs::path downloads = home_ / "Downloads";
        const fs::path site = kSourceDir / "demo" / "site";

        std::set<std::string> names;
        for (const Saved& s : expected) {
            const std::string name = WithPort(s.name, port);
            names.insert(name);
            const fs::path saved = downloads / name;
            if (!fs::is_regular_file(saved)) {
                ADD_FAILURE() << "not saved: " << name;
                continue;
            }
            const std::string bytes = ReadWholeFile(saved);
            switch (s.kind) {
                case Kind::File:
                    EXPECT_TRUE(bytes == ReadWholeFile(site / s.source))
                        << name << " differs from " << s.source;
                    break;
                case Kind::Page:
                    EXPECT_EQ(FirstDifference(WithoutLinkTargets(bytes),
                                              WithoutLinkTargets(ReadWholeFile(site / s.source))),
                              "")
                        << name << " is not the text of " << s.source;
                    EXPECT_EQ(BrokenLinks(downloads, saved), std::vector<std::string>{})
                        << "links of " << name << " that lead to no saved file";
                    break;
                case Kind::Script: {
                    const std::string prefix = WithPort(s.source, port);
                    EXPECT_TRUE(bytes.starts_with("<? ")) << name;
                    EXPECT_NE(bytes.find("$mainparam = 'page';"), std::string::npos) << name;
                    EXPECT_NE(bytes.find('"' + prefix + "_n0n3.php\""), std::string::npos)
                        << name << " does not fall back on " << prefix << "_n0n3.php";
                    EXPECT_NE(bytes.find('"' + prefix + "_\"."), std::string::npos)
                        << name << " does not serve " << prefix << "_*.php";
                    break;
                }
            }
        }
        std::set<std::string> extra;
        for (const std::string& file : FilesBelow(downloads)) {
            if (names.count(file) == 0) {
                extra.insert(file);
            }
        }
        EXPECT_EQ(extra, std::set<std::string>{}) << "files nobody asked for";

        RunBrowserCheck(mode, downloads, startPage);
    }

    // Opens the offline copy in a headless browser: no page may miss a file.
    void RunBrowserCheck(int mode, const fs::path& downloads, const std::string& startPage) {
        const fs::path script = kSourceDir / "tests" / "browser" / "check_mirror.mjs";
        if (!fs::is_regular_file(script)) {
            return;
        }
        const std::string node = FindOnPath("node");
        const bool required = std::getenv("WG_REQUIRE_BROWSER") != nullptr &&
                              std::string_view(std::getenv("WG_REQUIRE_BROWSER")) == "1";
        if (node.empty()) {
            ASSERT_FALSE(required) << "no node program on PATH for the browser check";
            GTEST_SKIP() << "no node program on PATH for the browser check";
        }
        const fs::path shots = fs::path(kCli).parent_path() / "mirror-screenshots";
        std::error_code ec;
        fs::create_directories(shots, ec);
        const std::string shot = (shots / ("mode-" + std::to_string(mode) + ".png")).string();
        std::string out;
        const int status =
            RunProgram(node, {script.string(), downloads.string(), startPage, shot}, &out);
        if (status == kBrowserUnavailable) {
            ASSERT_FALSE(required) << out;
            GTEST_SKIP() << "browser check not available: " << out;
        }
        EXPECT_EQ(status, 0) << "browser check in mode " << mode << ":\n" << out;
    }

    TempDir home_;
    static NginxServer* server_;
};

NginxServer* MirrorEndToEnd::server_ = nullptr;

TEST_F(MirrorEndToEnd, MirroredDirectories) {
    MirrorAndCheck(0, kMirroredDirectories, "127_0_0_1/index.html");
}

TEST_F(MirrorEndToEnd, DirectoryNamedAfterSite) {
    MirrorAndCheck(1, kDirectoryNamedAfterSite, "127_0_0_1/index.html");
}

TEST_F(MirrorEndToEnd, NoSubDirectories) {
    MirrorAndCheck(2, kNoSubDirectories, "index.html");
}

}  // namespace
}  // namespace wg::test
