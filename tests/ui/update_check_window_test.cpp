// "Check For Updates" from the Help menu and from the About box reach the
// update check (whose answers tests/app/update_check_test.cpp covers), against
// a loopback update server named by WEBGRUBBLER_UPDATE_HOST.
#include <QDialog>
#include <QPointer>
#include <cstdlib>
#include <optional>
#include <string>

#include "child_window_fixture.h"
#include "support/http_test_server.h"

namespace wg::test {
namespace {

using UpdateCheckWindowTest = ChildWindowTest;

TEST_F(UpdateCheckWindowTest, TheMenuItemAndTheAboutBoxAskTheUpdateServer) {
    constexpr const char* kHost = "WEBGRUBBLER_UPDATE_HOST";
    const char* before = std::getenv(kHost);
    const std::optional<std::string> saved =
        before != nullptr ? std::optional<std::string>(before) : std::nullopt;
    HttpTestServer server;
    server.Route("/Grubbler/Version1.php", Reply::Ok("1.29", "text/plain"));
    setenv(kHost, ("127.0.0.1:" + std::to_string(server.Port())).c_str(), 1);
    Item(40034)->trigger();
    EXPECT_EQ(port->StatusText(), "You have the latest version.");
    EXPECT_EQ(server.Requests().size(), 1U);

    // The About box's button closes the box and checks, with no server to ask.
    unsetenv(kHost);
    Item(40005)->trigger();
    const QPointer<QDialog> about = window->findChild<QDialog*>(QStringLiteral("id106"));
    if (about != nullptr) {
        Click(about, 1026);
        EXPECT_TRUE(about.isNull() || !about->isVisible());
        EXPECT_EQ(port->StatusText(), "Failed to connect to update site.");
    }
    (void)(saved ? setenv(kHost, saved->c_str(), 1) : unsetenv(kHost));
    EXPECT_NE(about, nullptr);
}

}  // namespace
}  // namespace wg::test
