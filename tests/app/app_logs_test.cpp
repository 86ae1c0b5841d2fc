#include <filesystem>

#include "app/app_fixture.h"
#include "util/log_file.h"

namespace wg::test {
namespace {

TEST_F(AppTest, UrlErrorsFollowTheAppsSwitches) {
    App& a = InitApp();
    a.settings.verbose.store(true);
    a.RecordUrlError(500, "http://127.0.0.1/broken");
    EXPECT_EQ(port->StatusLine(), "500 Error: http://127.0.0.1/broken");
    a.RecordUrlError(404, "http://127.0.0.1/missing");
    EXPECT_EQ(port->StatusLine(), "500 Error: http://127.0.0.1/broken") << "404 is not shown";

    // The URL error log stands beside the state file.
    a.SetUrlErrorLogging(true);
    EXPECT_TRUE(a.settings.logUrlErrors.load());
    EXPECT_EQ(a.UrlErrorLogPath(), (a.paths.programDir / "URLerrors.txt").string());
    a.RecordUrlError(503, "http://127.0.0.1/busy");
    a.SetUrlErrorLogging(false);
    const std::string log = ReadWholeFile(a.paths.programDir / "URLerrors.txt");
    EXPECT_NE(log.find(":  503  http://127.0.0.1/busy\n"), std::string::npos) << log;
}

TEST_F(AppTest, ValidUrlsAreLoggedInTheProgramDirectory) {
    App& a = InitApp();
    a.LogValidUrl("http://127.0.0.1/a.jpg");
    a.LogValidUrl("http://127.0.0.1/b.jpg", 20);
    a.validUrlLog.Close();
    EXPECT_EQ(ReadWholeFile(a.paths.programDir / "ValidURLs.log"),
              "http://127.0.0.1/a.jpg\nhttp://127.0.0.1/b.j\n");
}

TEST_F(AppTest, SystemErrorBoxGoesThroughThePort) {
    App& a = InitApp();
    errno = ENOENT;
    a.ShowWindowsError("Opening ValidURLs.log");
    const auto messages = port->Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "System Error: No such file or directory - Opening ValidURLs.log");
}

}  // namespace
}  // namespace wg::test
