// A temporary directory for one test, removed afterwards; and waiting for a
// condition instead of sleeping a fixed time.
#pragma once

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <string_view>

namespace wg::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Keeps the working directory of the test process as it was.
class CurrentDirGuard {
public:
    CurrentDirGuard();
    ~CurrentDirGuard();
    CurrentDirGuard(const CurrentDirGuard&) = delete;
    CurrentDirGuard& operator=(const CurrentDirGuard&) = delete;

private:
    std::filesystem::path saved_;
};

// Polls `condition` every few milliseconds until it holds or `timeoutMs` passes.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 10000);

std::string ReadWholeFile(const std::filesystem::path& path);

// Writes `bytes` as the whole of `path`, creating its directories first.
bool WriteWholeFile(const std::filesystem::path& path, std::string_view bytes);

// The regular files below `root`, as '/'-separated paths relative to it.
std::set<std::string> FilesBelow(const std::filesystem::path& root);

}  // namespace wg::test
