#include "download/save_names.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "download/save_paths.h"
#include "support/test_dirs.h"

namespace wg {
namespace {

namespace fs = std::filesystem;
using test::CurrentDirGuard;
using test::TempDir;
using test::WriteWholeFile;

SaveNameOptions Options(int mode, bool escape = false, bool web = false) {
    SaveNameOptions options;
    options.mode = mode;
    options.urlEscapeFilenames = escape;
    options.webPagesWanted = web;
    return options;
}

// The path a worker's plain or https transfer hands to OpenFileSafe.
std::string ComposedPath(std::string_view url, const SaveNameOptions& options) {
    const WorkerUrl split = SplitWorkerUrl(url);
    const SaveTarget target = SaveNameFor(split, options);
    const std::string local =
        split.secure ? ComposeHttpsLocalPath(target.saveDir, target.saveName, split.file)
                     : ComposeLocalPath(target.saveDir, target.saveName, split.file);
    return ContainedPath(local) ? local : "(refused)";
}

// Where that file stands, relative to the download directory.
std::string SavedPath(std::string_view url, const SaveNameOptions& options) {
    return ResolveLocalPath(ComposedPath(url, options)).value_or("(refused)");
}

// Every part of a split URL on one line.
std::string Parts(const WorkerUrl& u) {
    return u.url + " |" + (u.pathOnly ? " pathOnly" : "") + (u.secure ? " secure" : "") +
           (u.hasSlash ? " slash" : "") + " host=" + u.host + " name=" + u.hostName +
           " port=" + u.port + " path=" + u.path + " dir=" + u.directory + " file=" + u.file;
}

TEST(SaveNames, SplitsUrlsLikeTheDownloadWorker) {
    const std::pair<const char*, const char*> cases[] = {
        // A dot-less last segment names a directory.
        {"http://www.example.com/docs",
         "http://www.example.com/docs/ | slash host=www.example.com name=www.example.com port=80 "
         "path=docs/ dir=docs file="},
        {"http://www.example.com:8080/a/b/c.jpg?x=1",
         "http://www.example.com:8080/a/b/c.jpg?x=1 | slash host=www.example.com:8080 "
         "name=www.example.com port=8080 path=a/b/c.jpg?x=1 dir=a/b file=c.jpg?x=1"},
        // A port that is not all digits stays in the host name.
        {"http://www.example.com:x/a.jpg",
         "http://www.example.com:x/a.jpg | slash host=www.example.com:x name=www.example.com:x "
         "port=80 path=a.jpg dir= file=a.jpg"},
        {"HTTPS://www.example.com/a.jpg",
         "HTTPS://www.example.com/a.jpg | secure slash host=www.example.com name=www.example.com "
         "port=443 path=a.jpg dir= file=a.jpg"},
        {"http://www.example.com",
         "http://www.example.com | host=www.example.com name=www.example.com port=80 path= dir= "
         "file="},
        // No scheme: host, then path.
        {"www.example.com/a/b.zip",
         "www.example.com/a/b.zip | slash host=www.example.com name=www.example.com port=80 "
         "path=a/b.zip dir=a file=b.zip"},
        {"/a/b.jpg", "/a/b.jpg | pathOnly host= name= port= path=a/b.jpg dir= file="},
        // A colon makes it a URL, however short.
        {"/a:b", "/a:b | host= name= port=80 path= dir= file="},
    };
    for (const auto& [url, parts] : cases) {
        EXPECT_EQ(Parts(SplitWorkerUrl(url)), parts) << url;
    }
}

struct NameCase {
    const char* url;
    int mode;
    bool escape;
    bool web;
    const char* saved;
};

TEST(SaveNames, NamesFilesLikeTheWorker) {
    const std::vector<NameCase> cases = {
        // The three directory modes.
        {"http://www.example.com/pics/2008/photo.jpg", 0, false, false,
         "www_example_com/pics/2008/photo.jpg"},
        {"http://www.example.com/pics/2008/photo.jpg", 1, false, false,
         "www_example_com/pics_2008_photo.jpg"},
        {"http://www.example.com/pics/2008/photo.jpg", 2, false, false,
         "www.example.com_pics_2008_photo.jpg"},
        // The '0' rule: short or missing extension in the last segment.
        {"http://www.example.com/pics/a.jpg", 0, false, false, "www_example_com/pics/0a.jpg"},
        {"http://www.example.com/pics/a.jpg", 1, false, false, "www_example_com/pics_0a.jpg"},
        {"http://www.example.com/pics/a.jpg", 2, false, false, "www.example.com_pics_0a.jpg"},
        {"http://www.example.com/ver2.0/setup", 0, false, false, "www_example_com/ver2.0/0setup"},
        {"http://www.example.com/ver2.0/setup", 1, false, false, "www_example_com/ver2.0_0setup"},
        {"http://www.example.com/ver2.0/setup", 2, false, false, "www.example.com_ver2.0_0setup"},
        {"http://www.example.com/a.b", 0, false, false, "www_example_com/0a.b"},
        {"http://www.example.com/a.b", 1, false, false, "www_example_com/_0a.b"},
        {"http://www.example.com/a.b", 2, false, false, "www.example.com_0a.b"},
        // The web-page type turns the '0' rule off.
        {"http://www.example.com/pics/a.jpg", 0, false, true, "www_example_com/pics/a.jpg"},
        {"http://www.example.com/pics/a.jpg", 2, false, true, "www.example.com_pics_a.jpg"},
        {"http://www.example.com/ver2.0/setup", 0, false, true, "www_example_com/ver2.0/setup"},
        // Index names.
        {"http://www.example.com/", 0, false, false, "www_example_com/index.html"},
        {"http://www.example.com/", 1, false, false, "www_example_com/index.html"},
        {"http://www.example.com/", 2, false, false, "www.example.com_"},
        {"http://www.example.com/docs", 0, false, false, "www_example_com/docs/index.html"},
        {"http://www.example.com/docs", 1, false, false, "www_example_com/docs_"},
        {"http://www.example.com/docs", 2, false, false, "www.example.com_docs_"},
        {"http://www.example.com", 0, false, false, "www_example_com/index.html"},
        {"http://www.example.com", 2, false, false, "index.html"},
        {"http://www.example.com/forum/?page=2", 0, false, false,
         "www_example_com/forum/?page=2/index.html"},
        // Form-encoded names (never in mode 0).
        {"http://www.example.com/a/pic.gif", 0, true, false, "www_example_com/a/pic.gif"},
        {"http://www.example.com/a/pic.gif", 1, true, false,
         "www_example_com/www.example.com%2Fa%2Fpic.gif"},
        {"http://www.example.com/a/pic.gif", 2, true, false, "www.example.com%2Fa%2Fpic.gif"},
        {"https://www.example.com/a b/x.gif?q=1", 1, true, false,
         "www_example_com/www.example.com%2Fa+b%2Fx.gif%3Fq%3D1"},
        {"http://www.example.com/docs", 2, true, false, "www.example.com%2Fdocs%2F"},
        // Ports: the site directory drops it, the flat name keeps it.
        {"http://www.example.com:8080/photo.jpg", 0, false, false, "www_example_com/photo.jpg"},
        {"http://www.example.com:8080/photo.jpg", 1, false, false, "www_example_com/photo.jpg"},
        {"http://www.example.com:8080/photo.jpg", 2, false, false,
         "www.example.com:8080_photo.jpg"},
        // https composes the same names.
        {"https://www.example.com/pics/2008/photo.jpg", 0, false, false,
         "www_example_com/pics/2008/photo.jpg"},
        {"https://www.example.com/", 0, false, false, "www_example_com/index.html"},
        // '\' in a URL separates like '/'.
        {"http://www.example.com/a\\b/photo.jpg", 0, false, false, "www_example_com/a/b/photo.jpg"},
    };
    for (const NameCase& c : cases) {
        EXPECT_EQ(SavedPath(c.url, Options(c.mode, c.escape, c.web)), c.saved)
            << c.url << " mode " << c.mode << (c.escape ? " escaped" : "") << (c.web ? " web" : "");
    }
}

TEST(SaveNames, SaveDirectoryAndBounds) {
    SaveTarget t = SaveNameFor(SplitWorkerUrl("http://www.example.com:81/p.jpeg"), Options(1));
    EXPECT_EQ(t.saveDir, "www.example.com");
    EXPECT_EQ(t.saveName, "_0p.jpeg");
    t = SaveNameFor(SplitWorkerUrl("http://www.example.com/p.jpeg"), Options(2));
    EXPECT_EQ(t.saveDir, "");

    // The '0' rule shortens the directory text so that the file part survives.
    const std::string longDir(300, 'd');
    t = SaveNameFor(SplitWorkerUrl("http://h.example/" + longDir + "/x.y"), Options(0));
    EXPECT_EQ(t.saveName, std::string(255, 'd') + "0x.y");
    // Names are cut to a 260-byte buffer.
    t = SaveNameFor(SplitWorkerUrl("http://h.example/" + longDir + "/file.jpg"), Options(0));
    EXPECT_EQ(t.saveName.size(), 259u);
    t = SaveNameFor(SplitWorkerUrl("http://h.example/" + longDir + "/file.jpg"), Options(1, true));
    EXPECT_LT(t.saveName.size(), 260u);
}

TEST(SaveNames, PathOnlyUrlsGoBelowTheConnectionHost) {
    const WorkerUrl u = SplitWorkerUrl("/a/b.jpg");
    SaveTarget t = SaveNameFor(u, Options(0), "www.example.com");
    EXPECT_EQ(t.saveDir, "www.example.com");
    EXPECT_EQ(t.saveName, "a/b.jpg");
    EXPECT_EQ(SaveNameFor(u, Options(1), "h").saveName, "a_b.jpg");
    t = SaveNameFor(u, Options(2), "h");
    EXPECT_EQ(t.saveName, "a_b.jpg");
    EXPECT_EQ(t.saveDir, "h");
    EXPECT_EQ(SaveNameFor(u, Options(2, true), "h").saveName, "%2Fa%2Fb.jpg");
    EXPECT_EQ(SaveNameFor(u, Options(0, true), "h").saveName, "a/b.jpg");
}

// What a worker saves, FindOnDisk finds, in every mode.
TEST(FindOnDisk, FindsEveryFileTheWorkerSaved) {
    TempDir tmp;
    CurrentDirGuard guard;
    const std::vector<std::string> urls = {
        "http://www.example.com/pics/2008/photo.jpg",
        "http://www.example.com/pics/a.jpg",
        "http://www.example.com/ver2.0/setup",
        "http://www.example.com/",
        "http://www.example.com",
        "http://www.example.com/docs",
        "http://www.example.com/a.b",
        "http://www.example.com:8080/photo.jpg",
        "https://www.example.com/s/pic.png",
        "https://www.example.com/",
        "http://www.example.com/x/../y/z.gif",
        "http://www.example.com/x/../z.gif",
        "http://www.example.com/../../up.jpg",
        "http://www.example.com/get.php?id=3&p=2",
        "http://www.example.com/forum/?page=2",
        "www.example.com/plain/file.zip",
        "http://www.example.com/a%20b/c d.jpg",
        "http://www.example.com/long/" + std::string(200, 'n') + ".jpg",
    };
    int found = 0;
    int dirIndex = 0;
    for (int mode = 0; mode <= 2; ++mode) {
        for (const bool escape : {false, true}) {
            for (const bool web : {false, true}) {
                const SaveNameOptions options = Options(mode, escape, web);
                for (const std::string& url : urls) {
                    if (web && url.find('?') != std::string::npos) {
                        continue;  // query pages get their stored names elsewhere
                    }
                    const fs::path dir = tmp / std::to_string(dirIndex++);
                    fs::create_directories(dir);
                    fs::current_path(dir);
                    const std::string composed = ComposedPath(url, options);
                    const std::string path = SavedPath(url, options);
                    const std::string what = url + " mode " + std::to_string(mode) +
                                             (escape ? " escaped" : "") + (web ? " web" : "");
                    ASSERT_NE(path, "(refused)") << what;
                    EXPECT_FALSE(FindOnDisk(url, options, DiskSearch{})) << what;
                    CreateDirectoriesFor(composed);
                    ASSERT_NE(OpenFileSafe(composed, "wb"), nullptr) << what;
                    std::string foundPath;
                    EXPECT_TRUE(FindOnDisk(url, options, DiskSearch{}, &foundPath)) << what;
                    EXPECT_EQ(foundPath, path) << what;
                    ++found;
                }
            }
        }
    }
    EXPECT_GT(found, 90);
}

TEST(FindOnDisk, LooksInSearchDirectoriesThenSavedSubDirectories) {
    TempDir tmp;
    const std::string url = "http://www.example.com/pics/2008/photo.jpg";
    const std::string relative = "www_example_com/pics/2008/photo.jpg";
    DiskSearch search;
    search.downloadDir = (tmp / "dl").string();
    std::vector<std::string> visited;
    search.searchDirectories = [&](const DirectoryVisitor& visit) {
        for (const std::string& dir :
             std::vector<std::string>{"", (tmp / "c1").string(), (tmp / "c2").string()}) {
            visited.push_back(dir);
            if (visit(dir)) {
                return true;
            }
        }
        return false;
    };
    search.savedSubDirectories = [&](const DirectoryVisitor& visit) {
        return visit((tmp / "c2/sub").string());
    };
    const SaveNameOptions options = Options(0);
    std::string out = "unchanged";

    WriteWholeFile(tmp / "c2/sub" / relative, "x");
    EXPECT_FALSE(FindOnDisk(url, options, search, &out));  // sub-directories not wanted
    search.searchSavedSubDirs = true;
    EXPECT_TRUE(FindOnDisk(url, options, search, &out));
    EXPECT_EQ(out, "unchanged");  // the path is reported for the download directory only

    WriteWholeFile(tmp / "c2" / relative, "x");
    visited.clear();
    EXPECT_TRUE(FindOnDisk(url, options, search, &out));
    EXPECT_EQ(visited.size(), 3u);  // the empty entry is passed over, not probed

    WriteWholeFile(tmp / "dl" / relative, "x");
    visited.clear();
    EXPECT_TRUE(FindOnDisk(url, options, search, &out));
    EXPECT_EQ(out, relative);
    EXPECT_TRUE(visited.empty());

    // A directory standing at the path is no file.
    fs::create_directories(tmp / "dl/www_example_com/d.jpeg");
    EXPECT_FALSE(FindOnDisk("http://www.example.com/d.jpeg", options, search));
    // A path-only URL has no host to look below.
    EXPECT_FALSE(FindOnDisk("/pics/2008/photo.jpg", options, search));
}

TEST(FindOnDisk, SingleRedirectParamAndDynamicPages) {
    TempDir tmp;
    DiskSearch search;
    search.downloadDir = tmp.path().string();
    search.singleRedirectParam = true;
    const std::string url = "http://www.example.com/view.php?id=3&p=2&q=1";
    std::string out;

    // Without a find the URL through its first '&' after the '?' is handed back.
    EXPECT_FALSE(FindOnDisk(url, Options(0), search, &out));
    EXPECT_EQ(out, "http://www.example.com/view.php?id=3&");
    out = "kept";
    EXPECT_FALSE(FindOnDisk("http://www.example.com/view.php?id=3", Options(0), search, &out));
    EXPECT_EQ(out, "kept");

    // Query paths with the web-page type on go to the stored-page test, which
    // renames them; the later steps look for the renamed path.
    std::vector<std::string> asked;
    bool answer = false;
    search.dynamicPageExists = [&](std::string& path, std::size_t queryPos) {
        asked.push_back(path);
        EXPECT_EQ(path[queryPos], '?');
        path = "www_example_com/view.php_id_3.html";
        return answer;
    };
    EXPECT_FALSE(FindOnDisk(url, Options(0), search, &out));
    EXPECT_TRUE(asked.empty());  // web-page type off
    EXPECT_FALSE(FindOnDisk("http://www.example.com/view.php", Options(0, false, true), search));
    EXPECT_TRUE(asked.empty());  // no query

    EXPECT_FALSE(FindOnDisk(url, Options(0, false, true), search, &out));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], "www_example_com/view.php?id=3&p=2&q=1");
    WriteWholeFile(tmp / "www_example_com/view.php_id_3.html", "x");
    EXPECT_TRUE(FindOnDisk(url, Options(0, false, true), search, &out));
    EXPECT_EQ(out, "www_example_com/view.php_id_3.html");

    answer = true;
    out.clear();
    EXPECT_TRUE(FindOnDisk(url, Options(0, false, true), search, &out));
    EXPECT_EQ(out, "www_example_com/view.php_id_3.html");
}

// No URL makes FindOnDisk probe a file outside the directory it searches.
TEST(FindOnDisk, NeverLooksOutsideItsDirectories) {
    TempDir tmp;
    for (const char* bait : {"bait.jpg", "_x.jpg", "search/bait.jpg", "search/_x.jpg"}) {
        WriteWholeFile(tmp / bait, "x");
    }
    fs::create_directories(tmp / "dl");
    DiskSearch search;
    search.downloadDir = (tmp / "dl").string();
    search.searchDirectories = [&](const DirectoryVisitor& visit) {
        return visit((tmp / "search/inner").string());
    };
    std::vector<std::string> hooked;
    search.dynamicPageExists = [&](std::string& path, std::size_t) {
        hooked.push_back(path);
        return false;
    };
    const std::vector<std::pair<std::string, SaveNameOptions>> hostile = {
        {"http://www.example.com/a/../../../bait.jpg", Options(0)},
        {"http://www.example.com/a\\..\\..\\..\\bait.jpg", Options(0, false, true)},
        {"https://www.example.com/../../bait.jpg", Options(0)},
        {"http://www.example.com/../../../bait.jpg?x=1", Options(1, false, true)},
        {"http://..\\/x.jpg", Options(2)},
        {"http://../x.jpg", Options(2)},
        {"http://..\\..\\/bait.jpg", Options(0)},
        {"http://www.example.com/a/../../../bait.jpg?x=1", Options(0, false, true)},
    };
    for (const auto& [url, options] : hostile) {
        EXPECT_FALSE(FindOnDisk(url, options, search)) << url;
    }
    for (const std::string& path : hooked) {
        EXPECT_TRUE(ContainedPath(path).has_value()) << path;
    }
}

}  // namespace
}  // namespace wg
