#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "platform/files.h"
#include "support/test_dirs.h"

namespace wg {
namespace {

namespace fs = std::filesystem;
using test::ReadWholeFile;
using test::TempDir;
using test::WriteWholeFile;

// The names in `dir`, sorted.
std::vector<std::string> Listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(PlatformFiles, OpenFileReportsErrno) {
    TempDir tmp;
    WriteWholeFile(tmp / "plain", "x");
    const auto openError = [](const fs::path& path, const char* mode) {
        int error = 0;
        return platform::OpenFile(path, mode, &error) == nullptr ? error : 0;
    };
    EXPECT_EQ(openError(tmp / "no-such-dir" / "a.txt", "wb"), ENOENT);
    EXPECT_EQ(openError(tmp / "plain" / "a.txt", "wb"), ENOTDIR);
    EXPECT_EQ(openError(tmp.path(), "wb"), EISDIR);
    {
        auto f = platform::OpenFile(tmp / "new.txt", "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("written", f.get());
    }  // closed and flushed here
    EXPECT_EQ(ReadWholeFile(tmp / "new.txt"), "written");
}

TEST(PlatformFiles, CreateDirectoriesAlongPath) {
    TempDir tmp;
    EXPECT_EQ(platform::CreateDirectories(tmp / "a" / "b" / "c"), 0);
    EXPECT_TRUE(platform::DirectoryExists(tmp / "a" / "b" / "c"));
    EXPECT_EQ(platform::CreateDirectories(tmp / "a" / "b"), 0);  // already there
    WriteWholeFile(tmp / "file", "keep");
    EXPECT_NE(platform::CreateDirectories(tmp / "file"), 0);
    EXPECT_EQ(platform::CreateDirectories(tmp / "file" / "sub"), ENOTDIR);
    EXPECT_EQ(ReadWholeFile(tmp / "file"), "keep");
}

TEST(PlatformFiles, CopyMoveAndDelete) {
    TempDir tmp;
    WriteWholeFile(tmp / "src", "source bytes");
    EXPECT_EQ(platform::CopyFile(tmp / "src", tmp / "copy", false), 0);
    WriteWholeFile(tmp / "copy", "old");
    EXPECT_EQ(platform::CopyFile(tmp / "src", tmp / "copy", false), EEXIST);
    EXPECT_EQ(ReadWholeFile(tmp / "copy"), "old");
    EXPECT_EQ(platform::CopyFile(tmp / "src", tmp / "copy", true), 0);
    EXPECT_EQ(ReadWholeFile(tmp / "copy"), "source bytes");
    EXPECT_EQ(platform::CopyFile(tmp / "missing", tmp / "other", true), ENOENT);

    WriteWholeFile(tmp / "copy", "new text");
    EXPECT_EQ(platform::MoveFile(tmp / "copy", tmp / "src"), 0);  // replaces the target
    EXPECT_EQ(ReadWholeFile(tmp / "src"), "new text");
    EXPECT_EQ(platform::MoveFile(tmp / "missing", tmp / "src"), ENOENT);

    fs::permissions(tmp / "src", fs::perms::owner_read);
    EXPECT_EQ(platform::ForceDelete(tmp / "src"), 0);
    EXPECT_EQ(platform::ForceDelete(tmp / "src"), ENOENT);
    EXPECT_TRUE(Listing(tmp.path()).empty());
}

TEST(PlatformFiles, EnumerateDirectoryListsEntriesWithSizes) {
    TempDir tmp;
    WriteWholeFile(tmp / "a.txt", "abc");
    WriteWholeFile(tmp / "big.bin", std::string(70000, 'z'));
    WriteWholeFile(tmp / "empty", "");
    ASSERT_EQ(platform::CreateDirectories(tmp / "sub" / "deeper"), 0);
    WriteWholeFile(tmp / "sub" / "inner.txt", "not listed");

    std::vector<std::string> seen;
    const auto record = [&](const platform::DirEntry& e) {
        seen.push_back(e.name + (e.isDirectory ? "/" : "=" + std::to_string(e.size)));
        return true;
    };
    EXPECT_EQ(platform::EnumerateDirectory(tmp.path(), record), 0);
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"a.txt=3", "big.bin=70000", "empty=0", "sub/"}));
    EXPECT_EQ(platform::FileSize(tmp / "big.bin"), 70000);
    EXPECT_EQ(platform::FileSize(tmp / "sub"), -1);

    int calls = 0;  // the visitor stops the walk by returning false
    EXPECT_EQ(platform::EnumerateDirectory(tmp.path(), [&](auto&) { return ++calls < 2; }), 0);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(platform::EnumerateDirectory(tmp / "missing", record), ENOENT);
    EXPECT_EQ(platform::EnumerateDirectory(tmp / "a.txt", record), ENOTDIR);
}

TEST(PlatformFiles, WriteFileAtomicallyReplacesContentAndLeavesNothingBehind) {
    TempDir tmp;
    const fs::path target = tmp / "state.dat";
    EXPECT_EQ(platform::WriteFileAtomically(target, "first version, rather long"), 0);
    const std::string binary("second\0\r\nend", 12);
    EXPECT_EQ(platform::WriteFileAtomically(target, binary), 0);
    EXPECT_EQ(ReadWholeFile(target), binary);
    EXPECT_EQ(Listing(tmp.path()), std::vector<std::string>{"state.dat"});

    // A file left behind by a crash is not mixed into the new content.
    WriteWholeFile(tmp / "state.dat.tmp", std::string(500, 'g'));
    EXPECT_EQ(platform::WriteFileAtomically(target, "third"), 0);
    EXPECT_EQ(ReadWholeFile(target), "third");

    // Failures leave no temporary file behind.
    fs::remove(tmp / "state.dat.tmp");
    EXPECT_EQ(platform::WriteFileAtomically(tmp / "missing" / "x.dat", "data"), ENOENT);
    ASSERT_EQ(platform::CreateDirectories(tmp / "adir"), 0);
    EXPECT_NE(platform::WriteFileAtomically(tmp / "adir", "data"), 0);
    EXPECT_TRUE(platform::DirectoryExists(tmp / "adir"));
    EXPECT_EQ(Listing(tmp.path()), (std::vector<std::string>{"adir", "state.dat"}));
}

}  // namespace
}  // namespace wg
