#include <filesystem>

#include "app/app_fixture.h"
#include "app/option_setters.h"
#include "util/log_file.h"
#include "util/url_error_log.h"

namespace wg::test {
namespace {

TEST_F(AppTest, LogsAndErrorBoxesFollowTheAppsSwitches) {
    App& a = InitApp();
    a.Settings().verbose.store(true);
    a.RecordUrlError(500, "http://127.0.0.1/broken");
    EXPECT_EQ(port->StatusLine(), "500 Error: http://127.0.0.1/broken");

    // The URL error log stands beside the state file.
    a.Setters().SetUrlErrorLogging(true);
    a.RecordUrlError(503, "http://127.0.0.1/busy");
    a.Setters().SetUrlErrorLogging(false);
    const std::string log = ReadWholeFile(a.Paths().programDir / "URLerrors.txt");
    EXPECT_NE(log.find(":  503  http://127.0.0.1/busy\n"), std::string::npos) << log;

    // Valid URLs are logged in the program directory too.
    a.LogValidUrl("http://127.0.0.1/a.jpg");
    a.LogValidUrl("http://127.0.0.1/b.jpg", 20);
    a.ValidUrls().Close();
    EXPECT_EQ(ReadWholeFile(a.Paths().programDir / "ValidURLs.log"),
              "http://127.0.0.1/a.jpg\nhttp://127.0.0.1/b.j\n");

    // A system error box goes through the port.
    errno = ENOENT;
    a.ShowWindowsError("Opening ValidURLs.log");
    EXPECT_EQ(port->Messages(), std::vector<std::string>{"System Error: No such file or "
                                                         "directory - Opening ValidURLs.log"});
}

}  // namespace
}  // namespace wg::test
