// webgrubbler-cli find-duplicates as a user runs it: the lines on standard
// output, the counters on standard error, --delete, --log and the exit status.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/site_files.h"
#include "support/child_process.h"
#include "support/test_dirs.h"

namespace wg::test {
namespace {

namespace fs = std::filesystem;

const std::string kCli = WG_CLI_PATH;

// Standard output alone, through the shell.
int RunStdout(const std::string& args, std::string* out) {
    return RunProgram("/bin/sh", {"-c", "'" + kCli + "' find-duplicates " + args + " 2>/dev/null"},
                      out);
}

TEST(FindDuplicatesCommand, ListsDeletesAndLogsCopies) {
    TempDir tree;
    const fs::path root = tree.path() / "t";
    const std::string same(3000, 'x');
    WriteWholeFile(root / "a.bin", same);
    WriteWholeFile(root / "sub/b.bin", same);
    WriteWholeFile(root / "c.bin", same + "y");  // longer: not a copy
    WriteWholeFile(root / "d.txt", "lonely");

    std::string out;
    ASSERT_EQ(RunStdout("--no-recursive '" + root.string() + "'", &out), 0);
    EXPECT_EQ(out, "");
    ASSERT_EQ(RunStdout("'" + root.string() + "'", &out), 0);
    // One line, the copy found first kept; which of the two the directory
    // listing gives first decides the order.
    const std::string ab = (root / "a.bin").string() + " & " + (root / "sub/b.bin").string();
    const std::string ba = (root / "sub/b.bin").string() + " & " + (root / "a.bin").string();
    EXPECT_TRUE(out == ab + " are identical\n" || out == ba + " are identical\n") << out;
    const bool aKept = out.starts_with((root / "a.bin").string());

    // The counters and the completion text go to standard error.
    std::string all;
    ASSERT_EQ(RunProgram(kCli, {"find-duplicates", root.string()}, &all), 0);
    EXPECT_NE(all.find("Files Scanned: 4"), std::string::npos) << all;
    EXPECT_NE(all.find("Double click above to open any of the 1 duplicated files."),
              std::string::npos);

    // --log writes results.log where the command runs; --delete removes the copy.
    CurrentDirGuard cwd;
    fs::current_path(tree.path());
    ASSERT_EQ(RunProgram(kCli, {"find-duplicates", "--log", "--delete", root.string()}, &all), 0);
    EXPECT_EQ(ReadWholeFile(tree.path() / "results.log"), (aKept ? ab : ba) + " are identical\n\r");
    EXPECT_NE(fs::exists(root / "a.bin"), fs::exists(root / "sub/b.bin"));
    EXPECT_EQ(fs::exists(root / "a.bin"), aKept);
    EXPECT_TRUE(fs::exists(root / "c.bin"));
}

TEST(FindDuplicatesCommand, ExitStatusTellsUnreadableDirectoryAndBadUsage) {
    std::string out;
    EXPECT_EQ(RunProgram(kCli, {"find-duplicates", "/nonexistent.invalid/dir"}, &out), 1);
    EXPECT_NE(out.find("cannot read directory"), std::string::npos);
    EXPECT_EQ(RunProgram(kCli, {"find-duplicates"}, &out), 2);
    EXPECT_NE(out.find("no directory given"), std::string::npos);
    EXPECT_EQ(RunProgram(kCli, {"find-duplicates", "--fast", "/tmp"}, &out), 2);
    EXPECT_EQ(RunProgram(kCli, {"find-duplicates", "/tmp", "/var"}, &out), 2);
    EXPECT_EQ(RunProgram(kCli, {"find-duplicates", "--help"}, &out), 0);
    EXPECT_NE(out.find("--no-recursive"), std::string::npos);
}

}  // namespace
}  // namespace wg::test
