#include "support/test_dirs.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace wg::test {

namespace {
std::atomic<int> g_counter{0};
}

TempDir::TempDir() {
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        path_ = base / ("wg-test-" + std::to_string(::getpid()) + "-" +
                        std::to_string(g_counter.fetch_add(1)));
        std::error_code ec;
        if (std::filesystem::create_directory(path_, ec)) {
            break;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

CurrentDirGuard::CurrentDirGuard() : saved_(std::filesystem::current_path()) {}

CurrentDirGuard::~CurrentDirGuard() {
    std::error_code ec;
    std::filesystem::current_path(saved_, ec);
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool WriteWholeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::set<std::string> FilesBelow(const std::filesystem::path& root) {
    namespace fs = std::filesystem;
    std::set<std::string> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file()) {
            files.insert(it->path().lexically_relative(root).generic_string());
        }
    }
    return files;
}

}  // namespace wg::test
