// The texts of the update server and the stages that swap the program files,
// run on real (shell script) programs in a temporary directory.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <optional>
#include <string>
#include <vector>

#include "app/update_stages.h"
#include "app/update_texts.h"
#include "platform/files.h"
#include "platform/process.h"
#include "support/test_dirs.h"

namespace wg::test {
namespace {

TEST(UpdateTexts, VersionTexts) {
    const std::pair<std::string, std::optional<double>> cases[] = {
        {"1.30", 1.30},
        {"1.29\r\n", 1.29},
        {"2", 2.0},
        {"1.30   \nrest", 1.30},
        {"", std::nullopt},
        {"<html>", std::nullopt},
        {"0.99", std::nullopt},
        {"9999999999999999", std::nullopt},
        {"12345.1", std::nullopt},
        {"1.2.3", std::nullopt},
        {"1.", std::nullopt},
        {"1.30beta", std::nullopt},
        {std::string("1\0.5", 4), std::nullopt},
        {"\x81\xff\xfe", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(ParseVersionText(text), expected) << text;
    }
    EXPECT_FALSE(IsNewerVersion(1.29, 1.29));
    EXPECT_TRUE(IsNewerVersion(1.30, 1.29));
}

TEST(UpdateTexts, DigestTexts) {
    const std::string hex = "00112233445566778899aabbccddeeff00112233445566778899AABBCCDDEEFF";
    const std::optional<Sha256Digest> digest = ParseDigestText(hex);
    ASSERT_TRUE(digest);
    EXPECT_EQ((*digest)[1], 0x11);
    EXPECT_EQ((*digest)[31], 0xff);
    EXPECT_EQ(ParseDigestText(hex + "  WebGrubbler.dl\n"), digest);
    for (const std::string& bad : {hex.substr(1), hex + "0", "g" + hex.substr(1), std::string()}) {
        EXPECT_FALSE(ParseDigestText(bad)) << bad;
    }
}

TEST(UpdateStages, StageArguments) {
    struct Case {
        std::vector<std::string> argv;
        UpdateStage stage;
        std::vector<std::string> rest;
    };
    const Case cases[] = {
        {{"webgrubbler"}, UpdateStage::None, {}},
        {{"webgrubbler", "--home", "x"}, UpdateStage::None, {"--home", "x"}},
        {{"webgrubbler", "1"}, UpdateStage::Replace, {}},
        {{"webgrubbler", "2", "--home", "x"}, UpdateStage::Tidy, {"--home", "x"}},
        {{"webgrubbler", "12"}, UpdateStage::None, {"12"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> owned = c.argv;
        std::vector<char*> argv;
        argv.reserve(owned.size());
        for (std::string& a : owned) {
            argv.push_back(a.data());
        }
        const int argc = static_cast<int>(argv.size());
        EXPECT_EQ(UpdateStageOf(argc, argv.data()), c.stage);
        EXPECT_EQ(ArgumentsAfterStage(argc, argv.data()), c.rest);
    }
}

class UpdateStagesTest : public ::testing::Test {
protected:
    // A program that notes its name and arguments in "started".
    void WriteProgram(const std::filesystem::path& path, const std::string& name,
                      mode_t mode = 0755) {
        ASSERT_TRUE(WriteWholeFile(
            path, "#!/bin/sh\necho \"" + name + " $*\" >> '" + (dir / "started").string() + "'\n"));
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    }
    std::string Started() const {
        return platform::FileExists(dir / "started") ? ReadWholeFile(dir / "started") : "";
    }

    TempDir dir;
    ProgramFiles files = ProgramFilesOf(dir / "webgrubbler");
};

TEST_F(UpdateStagesTest, TheNamesFollowTheRunningBinary) {
    EXPECT_EQ(files.current, dir / "webgrubbler");
    EXPECT_EQ(files.previous, dir / "webgrubbler.previous");
    EXPECT_EQ(files.staged, dir / "webgrubbler2");
    const ProgramFiles fromStaged = ProgramFilesOf(dir / "webgrubbler2", true);
    EXPECT_EQ(fromStaged.current, files.current);
    EXPECT_EQ(fromStaged.staged, files.staged);
}

TEST_F(UpdateStagesTest, AHandOverRunsBothStages) {
    WriteProgram(files.current, "old");
    WriteProgram(files.previous, "older");
    WriteProgram(files.staged, "new", 0644);  // not executable: the swap makes it so
    const std::string newProgram = ReadWholeFile(files.staged);

    // The end of the run that fetched the update: nothing runnable, nothing started.
    EXPECT_EQ(HandOverUpdate(files, {"--home", "h"}), ENOENT);
    ASSERT_EQ(platform::MakeExecutable(files.staged), 0);
    int pid = 0;
    ASSERT_EQ(HandOverUpdate(files, {"--home", "h"}, &pid), 0);
    EXPECT_EQ(platform::WaitForProgram(pid), 0);
    EXPECT_EQ(Started(), "new 1 --home h\n");

    // Stage "1": the old program is kept as the previous one, the new one takes its name.
    ASSERT_EQ(::chmod(files.staged.c_str(), 0644), 0);
    ASSERT_EQ(ReplaceProgram(files, {"--home", "h"}, 0, &pid), 0);
    EXPECT_EQ(platform::WaitForProgram(pid), 0);
    EXPECT_EQ(Started(), "new 1 --home h\nnew 2 --home h\n");
    EXPECT_EQ(ReadWholeFile(files.current), newProgram);
    EXPECT_TRUE(platform::IsExecutable(files.current));
    EXPECT_NE(ReadWholeFile(files.previous).find("old $*"), std::string::npos);
    EXPECT_FALSE(platform::PathExists(dir / "webgrubbler.incoming"));

    // Stage "2": the waiting copy goes; once gone there is nothing to do.
    EXPECT_EQ(RemoveStagedProgram(files), 0);
    EXPECT_FALSE(platform::PathExists(files.staged));
    EXPECT_EQ(RemoveStagedProgram(files), 0);
}

TEST_F(UpdateStagesTest, WithoutAStagedProgramNothingIsSwappedButTheProgramStarts) {
    WriteProgram(files.current, "old");
    int pid = 0;
    EXPECT_EQ(ReplaceProgram(files, {}, 0, &pid), ENOENT);
    EXPECT_EQ(platform::WaitForProgram(pid), 0);
    EXPECT_EQ(Started(), "old 2\n");
    EXPECT_FALSE(platform::PathExists(files.previous));
}

}  // namespace
}  // namespace wg::test
