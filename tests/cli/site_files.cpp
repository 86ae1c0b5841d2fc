#include "cli/site_files.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "support/child_process.h"
#include "support/test_dirs.h"

namespace wg::test {

namespace fs = std::filesystem;

std::vector<std::string> DomainCrawlArgs(const fs::path& home) {
    return {"--home", home.string(), "--scope", "domain", "--types", "web,pictures", "--no", "-q"};
}

std::string CompareSaved(const fs::path& saved, const std::string& bytes) {
    if (!fs::is_regular_file(saved)) {
        return "not saved";
    }
    const std::string text = ReadWholeFile(saved);
    if (text == bytes) {
        return "";
    }
    return "differs from its source (" + std::to_string(text.size()) + " bytes saved, " +
           std::to_string(bytes.size()) + " served)";
}

std::set<std::string> UnexpectedFiles(const fs::path& root, const std::set<std::string>& expected) {
    std::set<std::string> extra;
    for (const std::string& file : FilesBelow(root)) {
        if (expected.count(file) == 0) {
            extra.insert(file);
        }
    }
    return extra;
}

void RunBrowserCheck(const std::vector<std::string>& options, const fs::path& downloads,
                     const std::string& startPage, const std::string& shot) {
    // What the check reports with exit status 3: its node module or Chromium
    // is missing; /usr/bin/env answers 127 when there is no node.
    constexpr int kBrowserUnavailable = 3;
    constexpr int kNoNode = 127;
    const fs::path script = fs::path(WG_SOURCE_DIR) / "tests" / "browser" / "check_mirror.mjs";
    const char* require = std::getenv("WG_REQUIRE_BROWSER");
    const bool required = require != nullptr && std::string_view(require) == "1";
    const fs::path shots = fs::path(WG_CLI_PATH).parent_path() / "mirror-screenshots";
    std::error_code ec;
    fs::create_directories(shots, ec);
    std::vector<std::string> args = {"node", script.string()};
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), {downloads.string(), startPage, (shots / shot).string()});
    std::string out;
    const int status = RunProgram("/usr/bin/env", args, &out);
    if (status == kBrowserUnavailable || status == kNoNode) {
        ASSERT_FALSE(required) << out;
        GTEST_SKIP() << "browser check not available: " << out;
    }
    EXPECT_EQ(status, 0) << "browser check of " << shot << ":\n" << out;
}

}  // namespace wg::test
