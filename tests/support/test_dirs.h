// A temporary directory for one test, removed afterwards; waiting for a
// condition instead of sleeping a fixed time; files, environment variables and
// pattern bytes for tests.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
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

// `size` bytes of a sequence chosen by `seed`, with no short period; a
// shorter run of the same seed is a prefix of a longer one.
inline std::string PatternBytes(std::size_t size, unsigned seed = 1) {
    std::string s(size, '\0');
    std::uint32_t x = 2463534242u ^ seed;
    for (char& c : s) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x & 0xFF);
    }
    return s;
}

// Sets an environment variable for one test and puts the old value (or its
// absence) back.
class EnvGuard {
public:
    explicit EnvGuard(const char* name) : name_(name) {
        if (const char* value = std::getenv(name)) {
            saved_ = value;
        }
    }
    ~EnvGuard() {
        saved_ ? ::setenv(name_, saved_->c_str(), 1) : ::unsetenv(name_);
        ::tzset();
    }
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;
    void Set(const char* value) const {
        value ? ::setenv(name_, value, 1) : ::unsetenv(name_);
        ::tzset();
    }

private:
    const char* name_;
    std::optional<std::string> saved_;
};

}  // namespace wg::test
