#include <gtest/gtest.h>

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "support/test_dirs.h"

namespace wg {
namespace {

namespace fs = std::filesystem;
using test::ReadWholeFile;
using test::TempDir;

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// The names in `dir`, sorted, joined by spaces.
std::string Listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const auto& n : names) {
        joined += (joined.empty() ? "" : " ") + n;
    }
    return joined;
}

int OpenError(const fs::path& path, const char* mode) {
    int error = 0;
    return platform::OpenFile(path, mode, &error) == nullptr ? error : 0;
}

// Runs `body` on a thread of its own. As root, permission bits would not bind, so that thread
// takes the file-system identity of an ordinary user who owns `owned`. Returns false when
// permission bits did not bind after all.
bool RunAsOwnerOf(const std::vector<fs::path>& owned, const std::function<void()>& body) {
    if (::geteuid() != 0) {
        body();
        return true;
    }
    constexpr unsigned kNobody = 65534;
    for (const auto& p : owned) {
        EXPECT_EQ(::chown(p.c_str(), kNobody, kNobody), 0) << p;
    }
    bool binds = true;
    std::thread worker([&] {
        ::setfsgid(kNobody);
        ::setfsuid(kNobody);
        struct stat st {};
        if (::stat(owned.front().c_str(), &st) != 0) {  // the temporary directory is out of reach
            ::setfsuid(0);
            ::setfsgid(0);
            binds = false;
        }
        body();
    });
    worker.join();
    return binds;
}

TEST(PlatformFiles, OpenFileReportsErrno) {
    TempDir tmp;
    WriteText(tmp / "plain", "x");
    EXPECT_EQ(OpenError(tmp / "no-such-dir" / "a.txt", "wb"), ENOENT);
    EXPECT_EQ(OpenError(tmp / "missing.txt", "rb"), ENOENT);
    EXPECT_EQ(OpenError(tmp / "plain" / "a.txt", "wb"), ENOTDIR);
    EXPECT_EQ(OpenError(tmp.path(), "wb"), EISDIR);
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
    EXPECT_EQ(platform::CreateDirectories(tmp.path() / "d/e/"), 0);
    EXPECT_TRUE(platform::DirectoryExists(tmp / "d" / "e"));

    WriteText(tmp / "file", "keep");
    EXPECT_NE(platform::CreateDirectories(tmp / "file"), 0);
    EXPECT_EQ(platform::CreateDirectories(tmp / "file" / "sub"), ENOTDIR);
    EXPECT_EQ(ReadWholeFile(tmp / "file"), "keep");
}

TEST(PlatformFiles, CopyFileHonoursOverwrite) {
    TempDir tmp;
    WriteText(tmp / "src", "source bytes");
    EXPECT_EQ(platform::CopyFile(tmp / "src", tmp / "copy", false), 0);
    EXPECT_EQ(ReadWholeFile(tmp / "copy"), "source bytes");
    WriteText(tmp / "copy", "old");
    EXPECT_EQ(platform::CopyFile(tmp / "src", tmp / "copy", false), EEXIST);
    EXPECT_EQ(ReadWholeFile(tmp / "copy"), "old");
    EXPECT_EQ(platform::CopyFile(tmp / "src", tmp / "copy", true), 0);
    EXPECT_EQ(ReadWholeFile(tmp / "copy"), "source bytes");
    EXPECT_EQ(platform::CopyFile(tmp / "missing", tmp / "other", true), ENOENT);
    EXPECT_EQ(Listing(tmp.path()), "copy src");
}

TEST(PlatformFiles, MoveFileReplacesTarget) {
    TempDir tmp;
    WriteText(tmp / "new", "new text");
    WriteText(tmp / "old", "old text that is longer");
    EXPECT_EQ(platform::MoveFile(tmp / "new", tmp / "old"), 0);
    EXPECT_EQ(ReadWholeFile(tmp / "old"), "new text");
    EXPECT_EQ(platform::MoveFile(tmp / "missing", tmp / "old"), ENOENT);
    EXPECT_EQ(Listing(tmp.path()), "old");

    // Across file systems the rename is refused and the copy-and-delete path takes over.
    struct stat shm {};
    struct stat local {};
    if (::stat("/dev/shm", &shm) == 0 && ::stat(tmp.path().c_str(), &local) == 0 &&
        shm.st_dev != local.st_dev && ::access("/dev/shm", W_OK) == 0) {
        const fs::path src = "/dev/shm/wg-platform-move-" + std::to_string(::getpid());
        WriteText(src, "crossing");
        EXPECT_EQ(platform::MoveFile(src, tmp / "old"), 0);
        EXPECT_EQ(ReadWholeFile(tmp / "old"), "crossing");
        EXPECT_FALSE(platform::PathExists(src));
        ::unlink(src.c_str());
    }
}

TEST(PlatformFiles, ForceDeleteOpensUpReadOnlyEntries) {
    TempDir tmp;
    WriteText(tmp / "ro.txt", "x");
    fs::permissions(tmp / "ro.txt", fs::perms::owner_read);
    EXPECT_EQ(platform::ForceDelete(tmp / "ro.txt"), 0);
    EXPECT_EQ(platform::ForceDelete(tmp / "ro.txt"), ENOENT);
    EXPECT_EQ(platform::ForceDelete(tmp / "no-dir" / "f"), ENOENT);

    test::CurrentDirGuard cwd;
    const fs::path dir = tmp / "locked";
    ASSERT_EQ(platform::CreateDirectories(dir), 0);
    for (const char* name : {"a.txt", "b.txt", "probe"}) {
        WriteText(dir / name, name);
    }
    fs::permissions(tmp.path(), fs::perms::owner_all | fs::perms::others_exec);
    const auto readOnly = fs::perms::owner_read | fs::perms::owner_exec;
    fs::permissions(dir / "a.txt", fs::perms::owner_read);
    fs::permissions(dir, readOnly);

    int plainUnlink = -1, absolute = -1, relative = -1;
    const bool binds = RunAsOwnerOf({dir, dir / "a.txt", dir / "b.txt"}, [&] {
        plainUnlink = ::unlink((dir / "probe").c_str()) == 0 ? 0 : errno;
        absolute = platform::ForceDelete(dir / "a.txt");
        fs::permissions(dir, readOnly);
        // A bare name lies in the current directory, which is then the one to open up.
        if (platform::SetCurrentDirectory(dir) == 0) {
            relative = platform::ForceDelete("b.txt");
        }
    });
    if (binds) {
        EXPECT_EQ(plainUnlink, EACCES);  // so it is the retry that removes the files
    }
    EXPECT_EQ(absolute, 0);
    EXPECT_EQ(relative, 0);
    EXPECT_FALSE(platform::PathExists(dir / "a.txt"));
    EXPECT_FALSE(platform::PathExists(dir / "b.txt"));
    fs::permissions(dir, fs::perms::owner_all);
}

TEST(PlatformFiles, EnumerateDirectoryListsEntriesWithSizes) {
    TempDir tmp;
    WriteText(tmp / "a.txt", "abc");
    WriteText(tmp / "big.bin", std::string(70000, 'z'));
    WriteText(tmp / "empty", "");
    ASSERT_EQ(platform::CreateDirectories(tmp / "sub" / "deeper"), 0);
    WriteText(tmp / "sub" / "inner.txt", "not listed");

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
    EXPECT_EQ(platform::FileSize(tmp / "missing"), -1);

    int calls = 0;
    const auto twice = [&](const platform::DirEntry&) { return ++calls < 2; };
    EXPECT_EQ(platform::EnumerateDirectory(tmp.path(), twice), 0);
    EXPECT_EQ(calls, 2);

    seen.clear();
    EXPECT_EQ(platform::EnumerateDirectory(tmp / "missing", record), ENOENT);
    EXPECT_EQ(platform::EnumerateDirectory(tmp / "a.txt", record), ENOTDIR);
    EXPECT_EQ(platform::EnumerateDirectory(tmp / "sub" / "deeper", record), 0);
    EXPECT_TRUE(seen.empty());
}

TEST(PlatformFiles, WriteFileAtomicallyReplacesContent) {
    TempDir tmp;
    const fs::path target = tmp / "state.dat";
    EXPECT_EQ(platform::WriteFileAtomically(target, "first version, rather long"), 0);
    EXPECT_EQ(ReadWholeFile(target), "first version, rather long");
    const std::string binary("second\0\r\nend", 12);
    EXPECT_EQ(platform::WriteFileAtomically(target, binary), 0);
    EXPECT_EQ(ReadWholeFile(target), binary);
    EXPECT_EQ(Listing(tmp.path()), "state.dat");

    // A file left behind by a crash is not mixed into the new content, and
    // every save leaves only the target behind.
    WriteText(tmp / "state.dat.tmp", std::string(500, 'g'));
    EXPECT_EQ(platform::WriteFileAtomically(target, "third"), 0);
    EXPECT_EQ(ReadWholeFile(target), "third");
    EXPECT_EQ(platform::WriteFileAtomically(target, ""), 0);
    EXPECT_EQ(platform::FileSize(target), 0);
    fs::remove(tmp / "state.dat.tmp");
    EXPECT_EQ(Listing(tmp.path()), "state.dat");
}

TEST(PlatformFiles, WriteFileAtomicallyFailsCleanly) {
    TempDir tmp;
    EXPECT_EQ(platform::WriteFileAtomically(tmp / "missing" / "x.dat", "data"), ENOENT);
    ASSERT_EQ(platform::CreateDirectories(tmp / "adir"), 0);
    EXPECT_NE(platform::WriteFileAtomically(tmp / "adir", "data"), 0);
    EXPECT_TRUE(platform::DirectoryExists(tmp / "adir"));
    EXPECT_EQ(Listing(tmp.path()), "adir");
}

}  // namespace
}  // namespace wg
