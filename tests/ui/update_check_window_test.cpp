// "Check For Updates" from the Help menu and from the About box, against a
// loopback update server named by WEBGRUBBLER_UPDATE_HOST.
#include <QDialog>
#include <QPushButton>
#include <cstdlib>
#include <optional>
#include <string>

#include "child_window_fixture.h"
#include "support/http_test_server.h"

namespace wg::test {
namespace {

// Sets WEBGRUBBLER_UPDATE_HOST (or removes it) for one test.
class UpdateHostGuard {
public:
    explicit UpdateHostGuard(const std::optional<std::string>& value) {
        if (const char* old = std::getenv(kName)) {
            saved_ = old;
        }
        Set(value);
    }
    ~UpdateHostGuard() { Set(saved_); }
    UpdateHostGuard(const UpdateHostGuard&) = delete;
    UpdateHostGuard& operator=(const UpdateHostGuard&) = delete;

private:
    static void Set(const std::optional<std::string>& value) {
        (void)(value ? setenv(kName, value->c_str(), 1) : unsetenv(kName));
    }
    static constexpr const char* kName = "WEBGRUBBLER_UPDATE_HOST";
    std::optional<std::string> saved_;
};

using UpdateCheckWindowTest = ChildWindowTest;

TEST_F(UpdateCheckWindowTest, TheMenuItemAsksTheUpdateServer) {
    HttpTestServer server;
    server.Route("/Grubbler/Version1.php", Reply::Ok("1.29", "text/plain"));
    UpdateHostGuard host("127.0.0.1:" + std::to_string(server.Port()));
    QAction* item = window->findChild<QAction*>(DialogWindow::IdName(40034));
    ASSERT_NE(item, nullptr);
    ASSERT_TRUE(item->isEnabled());
    item->trigger();
    EXPECT_EQ(port->StatusText(), "You have the latest version.");
    ASSERT_EQ(server.Requests().size(), 1U);
    EXPECT_TRUE(server.Requests()[0].starts_with("GET /Grubbler/Version1.php?r="));
    EXPECT_NE(server.Requests()[0].find("&v=1.29 HTTP/1.0"), std::string::npos);
    EXPECT_FALSE(app->State().UpdatePending());
}

TEST_F(UpdateCheckWindowTest, TheAboutBoxClosesAndChecks) {
    UpdateHostGuard host(std::nullopt);
    window->findChild<QAction*>(DialogWindow::IdName(40005))->trigger();
    auto* about = window->findChild<QDialog*>(QStringLiteral("id106"));
    ASSERT_NE(about, nullptr);
    In<QPushButton>(about, 1026)->click();
    EXPECT_FALSE(about->isVisible());
    EXPECT_EQ(port->StatusText(), "Failed to connect to update site.");
}

}  // namespace
}  // namespace wg::test
