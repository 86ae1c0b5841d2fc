#include "download/save_paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_dirs.h"

namespace wg {
namespace {

namespace fs = std::filesystem;
using test::CurrentDirGuard;
using test::TempDir;

TEST(SavePaths, ComposesHttpAndHttpsPaths) {
    const std::string_view host = "www.example.com";
    // Save name and directory: the three layouts of the download worker.
    EXPECT_EQ(ComposeLocalPath(host, "pics\\2008\\photo.jpg", "x"),
              "www_example_com/pics/2008/photo.jpg");
    EXPECT_EQ(ComposeLocalPath(host, "pics_2008_photo.jpg", "x"),
              "www_example_com/pics_2008_photo.jpg");
    EXPECT_EQ(ComposeLocalPath("", "www.example.com_pics_2008_photo.jpg", "x"),
              "www.example.com_pics_2008_photo.jpg");
    EXPECT_EQ(ComposeLocalPath(host, "ver2.0\\0setup", "x"), "www_example_com/ver2.0/0setup");
    EXPECT_EQ(ComposeLocalPath(host, "", "x"), "www_example_com/index.html");
    EXPECT_EQ(ComposeLocalPath(host, "docs\\", "x"), "www_example_com/docs/index.html");
    EXPECT_EQ(ComposeLocalPath(host, "..\\../x", "y"), "www_example_com/x");
    EXPECT_EQ(ComposeLocalPath(host, "../", "y"), "www_example_com/index.html");
    EXPECT_EQ(ComposeLocalPath("a\\b", "../x", "y"), "a/b/../x");  // no removal below a separator
    // Save name without directory: as it is.
    EXPECT_EQ(ComposeLocalPath("", "../x\\", "y"), "../x/");
    // No save name: the requested name.
    EXPECT_EQ(ComposeLocalPath(host, std::nullopt, ""), "www_example_com/index.html");
    EXPECT_EQ(ComposeLocalPath(host, std::nullopt, "\\a\\b.gif"), "www_example_com/a/b.gif");
    EXPECT_EQ(ComposeLocalPath(host, std::nullopt, "../../a.gif"), "www_example_com/a.gif");
    EXPECT_EQ(ComposeLocalPath(host, std::nullopt, "a/"), "www_example_com/a/");
    EXPECT_EQ(ComposeLocalPath("", std::nullopt, "a\\b.gif"), "a/b.gif");
    EXPECT_EQ(ComposeLocalPath("", std::nullopt, ""), "");
    // Cut silently to a 1,040-byte buffer.
    EXPECT_EQ(ComposeLocalPath(host, std::string(3000, 'n'), "").size(), 1039u);
    EXPECT_EQ(ComposeLocalPath("", std::nullopt, std::string(3000, 'n')).size(), 1039u);

    // https transfers compose their own way.
    EXPECT_EQ(ComposeHttpsLocalPath(host, "a\\b.jpg", "n"), "www_example_com/a/b.jpg");
    EXPECT_EQ(ComposeHttpsLocalPath(host, std::nullopt, "n.jpg"), "www_example_com/n.jpg");
    EXPECT_EQ(ComposeHttpsLocalPath(host, "", "n.jpg"), "www_example_com/index.html");
    EXPECT_EQ(ComposeHttpsLocalPath("", std::nullopt, ""), "index.html");
    EXPECT_EQ(ComposeHttpsLocalPath("", "s.jpg", "n.jpg"), "s.jpg");
    EXPECT_EQ(ComposeHttpsLocalPath(host, "../x", "n"), "www_example_com/../x");
    EXPECT_EQ(ComposeHttpsLocalPath(host, "docs/", "n"), "www_example_com/docs/");
    EXPECT_EQ(ComposeHttpsLocalPath(host, std::string(3000, 'n'), "").size(), 1039u);
}

TEST(SavePaths, ResolvesParentPairsAndContainment) {
    EXPECT_EQ(ResolveLocalPath("a\\..\\..\\x"), "a/x");  // a/__/../x
    EXPECT_EQ(ResolveLocalPath("x\\..\\y"), "x/__/y");
    EXPECT_EQ(ResolveLocalPath("a\\b\\..\\c"), "a/c");
    EXPECT_EQ(ResolveLocalPath("../../etc/x"), "etc/x");  // __/../etc/x
    EXPECT_EQ(ResolveLocalPath("dir/a..b"), "dir/a__b");
    EXPECT_EQ(ContainedPath("./a//b/./c"), "a/b/c");
    EXPECT_EQ(ContainedPath("a/b/"), "a/b/");
    EXPECT_EQ(ContainedPath("a/b/.."), "a/");

    std::string why;
    EXPECT_EQ(ContainedPath("../x", &why), std::nullopt);
    EXPECT_EQ(why, "Refused path outside the download directory: ../x");
    EXPECT_EQ(ContainedPath("\\abs\\path", &why), std::nullopt);
    EXPECT_EQ(why, "Refused absolute path: /abs/path");
    EXPECT_EQ(ContainedPath("a/b/../..", &why), std::nullopt);
    EXPECT_EQ(why, "Refused path that names no file: a/b/../..");
    EXPECT_EQ(ContainedPath("a/../../a/x", &why), std::nullopt);  // climbs out and back in
    EXPECT_EQ(ContainedPath("", &why), std::nullopt);
    EXPECT_EQ(ContainedPath(std::string("../x\n\0y", 7), &why), std::nullopt);
    EXPECT_EQ(why, "Refused path outside the download directory: ../x?");
}

TEST(SavePaths, OpensAndCreatesWhereResolved) {
    TempDir tmp;
    CurrentDirGuard guard;
    fs::current_path(tmp.path());

    CreateDirectoriesFor("a\\b\\c.txt");
    EXPECT_TRUE(fs::is_directory(tmp / "a/b"));
    EXPECT_FALSE(fs::exists(tmp / "a/b/c.txt"));

    const auto write = [](std::string_view path) {
        CreateDirectoriesFor(path);
        return OpenFileSafe(path, "wb") != nullptr;
    };
    EXPECT_TRUE(write("a\\..\\..\\x"));  // as ResolveLocalPath gives it
    EXPECT_TRUE(fs::is_regular_file(tmp / "a/x"));

    std::string refusal = "stale";
    EXPECT_EQ(OpenFileSafe("", "rb", &refusal), nullptr);
    EXPECT_EQ(refusal, "");
    EXPECT_EQ(OpenFileSafe("missing", "rb", &refusal), nullptr);
    EXPECT_EQ(refusal, "");
    EXPECT_NE(OpenFileSafe("a/x", "rb", &refusal), nullptr);
}

// Every entry below `root`, relative to it.
std::vector<std::string> Tree(const fs::path& root) {
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        names.push_back(e.path().lexically_relative(root).generic_string());
    }
    return names;
}

TEST(SavePaths, HostileNamesStayInside) {
    TempDir tmp;
    CurrentDirGuard guard;
    const fs::path downloads = tmp / "top/dl";
    fs::create_directories(downloads);
    fs::current_path(downloads);

    const std::string absolute = (tmp / "abs.txt").string();
    const std::string manyUp = [] {
        std::string s;
        for (int i = 0; i < 12; ++i) {
            s += "../";
        }
        return s;
    }();
    const std::vector<std::string> names = {
        "../../etc/x",
        "..\\..\\..\\x",
        "a/../../x",
        "x/../../y/z/w",
        "../a/b/c",
        "a/b/c/" + manyUp + "x",
        manyUp + "a/b/c/d/x",
        absolute,
        std::string("a\0/../../../x", 13),
        std::string(5000, 'n'),
        std::string(100, 'd') + "/" + manyUp + "x",
    };
    const std::vector<std::string> dirs = {"", "www.example.com", "..", "../..",
                                           tmp.path().string()};
    int refused = 0;
    for (const std::string& dir : dirs) {
        for (const std::string& name : names) {
            for (const std::string& path :
                 {ComposeLocalPath(dir, name, "n"), ComposeLocalPath(dir, std::nullopt, name),
                  ComposeHttpsLocalPath(dir, name, "n"), name}) {
                std::string refusal;
                CreateDirectoriesFor(path, &refusal);
                refused += refusal.empty() ? 0 : 1;
                if (auto f = OpenFileSafe(path, "wb", &refusal)) {
                    std::fputs("x", f.get());
                }
                refused += refusal.empty() ? 0 : 1;
            }
        }
    }
    EXPECT_GT(refused, 0);
    for (const std::string& entry : Tree(tmp.path())) {
        EXPECT_TRUE(entry == "top" || entry == "top/dl" || entry.rfind("top/dl/", 0) == 0) << entry;
    }

    std::string refusal;
    EXPECT_EQ(OpenFileSafe(absolute, "wb", &refusal), nullptr);
    EXPECT_EQ(refusal, "Refused absolute path: " + absolute);
    CreateDirectoriesFor("../q/r/s", &refusal);  // fewer pairs than separators: left as is
    EXPECT_EQ(refusal, "Refused path outside the download directory: ../q/r/s");
    EXPECT_FALSE(fs::exists(tmp / "q"));
}

}  // namespace
}  // namespace wg
