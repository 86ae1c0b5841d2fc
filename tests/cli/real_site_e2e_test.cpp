// Mirrors tests/sites/real, a small site made of what real sites do (a
// directory listing, query links written with HTML entities, web fonts with
// the old ?#iefix trick, srcset, <base href>, links and scripts on other
// hosts, names with spaces, non-ASCII bytes, upper-case extensions, a file
// without an extension, root-relative and "../" links), served by a real
// nginx, once in each directory layout. The copy must hold a few key files
// under the names the layout gives them, and open in headless Chromium
// (tests/browser/check_mirror.mjs) with no missing local file, no link into a
// file that will never exist and every query page reachable by a click.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <sstream>
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
const fs::path kSite = kSourceDir / "tests" / "sites" / "real";
const std::string kCli = WG_CLI_PATH;

// The types nginx's own mime.types gives these files (an extension-less file
// gets the default, application/octet-stream); the js folder is served as a
// listing, since it has no index page; view.php sends the static page that
// its id and p values name, as a CMS would build it.
constexpr std::string_view kServerConfig = R"(
    types { text/html html; text/plain txt; text/css css; application/javascript js;
            image/png png; image/gif gif; image/jpeg jpg jpeg;
            font/woff2 woff2; application/vnd.ms-fontobject eot; }
    location /js/ { autoindex on; }
    location = /view.php { default_type text/html; try_files /q/view_${arg_id}_${arg_p}.html =404; }
)";

// The hosts of the site's links to other sites: the copy may leave those to
// the network (the browser check blocks them without failing), but must not
// turn them into local files it never saves.
constexpr std::string_view kOffsiteHosts = "--offsite=cdn.example.invalid,video.other.invalid";

// Key files in the mirrored-directories layout below "127_0_0_1/". Names keep
// the escapes of their address; a name without an extension is saved where a
// directory of that name would keep its index.
const std::vector<std::string> kKeyFiles = {
    "view.php_id_27-p_3.html",  // view.php?id=27&amp;p=3
    "view.php_id_28-p_1.html",  // view.php?id=28&#38;p=1
    "docs/guide.html",          // docs&#x2F;guide.html
    "docs/caf%C3%A9.html",
    "fonts/f.eot",  // url('fonts/f.eot?#iefix')
    "fonts/f.woff2",
    "js/index.html",  // the listing of js/, saved as a page
    "js/menu.js",     // only the listing links it
    "fonts/SIL%20Open%20Font%20License.txt",
    "images/PHOTO.JPG",
    "LICENSE/index.html",
};

// One layout: its DOWNLOAD_DIR_STRUCTURE value and the start page of the copy.
struct LayoutCase {
    const char* label;
    int mode;
    const char* startPage;
};

void PrintTo(const LayoutCase& layout, std::ostream* os) {
    *os << layout.label;
}

const LayoutCase kLayouts[] = {
    {"MirroredDirectories", 0, "127_0_0_1/index.html"},
    {"DirectoryNamedAfterSite", 1, "127_0_0_1/index.html"},
    {"NoSubDirectories", 2, "index.html"},
};

// `name` in layout `mode`: in the directory named after the site the path's
// '/' become '_'; without sub-directories those flat names start with the
// host as written, port included.
std::string InLayout(const std::string& name, int mode, const std::string& port) {
    // A directory's index in the flat layouts is the directory's name and '_'.
    std::string flat = mode != 0 && name.ends_with("/index.html")
                           ? name.substr(0, name.size() - std::string_view("index.html").size())
                           : name;
    std::replace(flat.begin(), flat.end(), '/', '_');
    return mode == 0   ? "127_0_0_1/" + name
           : mode == 1 ? "127_0_0_1/" + flat
                       : "127.0.0.1:" + port + "_" + flat;
}

class RealSiteEndToEnd : public SharedNginxSuite<::testing::TestWithParam<LayoutCase>> {
protected:
    static void SetUpTestSuite() { Start(kSite, std::string(kServerConfig)); }

    TempDir home_;
};

// The crawl takes every kind of file: "web" ticks the catch-all download
// type ("."), which also takes fonts, scripts and files without an extension;
// the other groups add nothing to it but are what a user would tick.
// The crawl must finish; files on the other hosts, which do not resolve, may
// count as failures (status 3), but every link leads to an address the site
// has, so the URL error log names none of the site's addresses.
TEST_P(RealSiteEndToEnd, MirrorOpensOffline) {
    const LayoutCase& layout = GetParam();
    const std::string port = std::to_string(server_->HttpPort());
    std::vector<std::string> args = {"--home",  home_.path().string(),       "--scope", "domain",
                                     "--types", "web,pictures,movies,music", "--no",    "-q"};
    const std::string layoutKey = "DOWNLOAD_DIR_STRUCTURE=" + std::to_string(layout.mode);
    args.insert(args.end(), {"--set", "LOG_URL_ERRORS=1", "--set", layoutKey,
                             "http://127.0.0.1:" + port + "/"});
    std::string out;
    const int status = RunProgram(kCli, args, &out);
    EXPECT_TRUE(status == 0 || status == 3) << "exit status " << status << ":\n" << out;
    std::istringstream errors(ReadWholeFile(home_ / "URLerrors.txt"));
    std::vector<std::string> siteErrors;
    for (std::string line; std::getline(errors, line);) {
        if (line.find("127.0.0.1") != std::string::npos) {
            siteErrors.push_back(line);
        }
    }
    EXPECT_EQ(siteErrors, std::vector<std::string>{}) << "addresses the site does not have";
    const fs::path downloads = home_ / "Downloads";

    std::vector<std::string> missing;
    for (const std::string& name : kKeyFiles) {
        if (!fs::is_regular_file(downloads / InLayout(name, layout.mode, port))) {
            missing.push_back(InLayout(name, layout.mode, port));
        }
    }
    std::string saved;
    for (const std::string& file : FilesBelow(downloads)) {
        saved += "\n  " + file;
    }
    EXPECT_EQ(missing, std::vector<std::string>{}) << "key files not saved; saved:" << saved;
    ASSERT_TRUE(fs::is_regular_file(downloads / layout.startPage)) << "saved:" << saved;
    // The strict query rule: every query page must be reachable by a click.
    RunBrowserCheck({"--strict-queries", std::string(kOffsiteHosts)}, downloads, layout.startPage,
                    std::string("real-site-") + layout.label + ".png");
}

INSTANTIATE_TEST_SUITE_P(Layouts, RealSiteEndToEnd, ::testing::ValuesIn(kLayouts),
                         [](const ::testing::TestParamInfo<LayoutCase>& info) {
                             return std::string(info.param.label);
                         });

}  // namespace
}  // namespace wg::test
