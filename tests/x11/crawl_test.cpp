// Crawls of the demo site started in the real program as a user starts them
// (scope and type box ticked, the address typed, Return), from a loopback
// nginx slowed down so that the crawl is still running when the test acts on
// it: "Exit After Last Download" ends the program once the mirror is complete,
// "Save and Exit" keeps the queued work in a state file.
#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>

#include "support/nginx_server.h"
#include "x11/x11_harness.h"

namespace wg::x11 {
namespace {

const fs::path kSourceDir = WG_SOURCE_DIR;

std::set<std::string> StateFiles(const fs::path& home) {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(home, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.ends_with(".sav") || name == "Save.dat") {
            names.insert(name);
        }
    }
    return names;
}

class X11Crawl : public X11Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(X11Test::SetUp());
        // About 1 KB/s per connection: a page of the demo takes a second or two.
        std::string config =
            "types { text/html html; text/css css; application/javascript js; "
            "image/png png; image/gif gif; image/jpeg jpg; }\n"
            "limit_rate " +
            Rate() + ";\n";
        config += test::ReadWholeFile(kSourceDir / "demo" / "nginx-locations.conf");
        server_ = std::make_unique<test::NginxServer>(kSourceDir / "demo" / "site", config);
        ASSERT_TRUE(server_->Running()) << server_->Error();
        site_ = "127.0.0.1:" + std::to_string(server_->HttpPort());
        url_ = "http://" + site_ + "/";
    }

    // nginx's limit_rate per connection ("0": none).
    virtual std::string Rate() const { return "1k"; }

    // Ticks `id` (clicking it until the snapshot shows it checked).
    void Tick(Grubbler& g, int id) {
        for (int click = 0; click < 3; ++click) {
            const Snapshot s = g.Current();
            const Control* c = s.Find(id);
            ASSERT_NE(c, nullptr) << "no control id" << id;
            if (c->checked == 2) {
                return;
            }
            const int before = c->checked;
            ASSERT_TRUE(g.Click(id));
            ASSERT_TRUE(g.WaitFor([&](const Snapshot& s) {
                const Control* now = s.Find(id);
                return now != nullptr && now->checked != before;
            })) << "a click on id"
                << id << " did not change it";
        }
        FAIL() << "id" << id << " not checked after three clicks";
    }

    // Starts the crawl of the demo site within its domain, web pages ticked,
    // and waits until it runs.
    void StartCrawl(Grubbler& g) {
        ASSERT_NO_FATAL_FAILURE(Tick(g, kWithinDomain));
        ASSERT_NO_FATAL_FAILURE(Tick(g, kBoxWebPages));
        ASSERT_TRUE(g.Click(kAddress));
        ASSERT_TRUE(g.Key("ctrl+a"));
        ASSERT_TRUE(g.Type(url_));
        ASSERT_TRUE(g.WaitFor([&](const Snapshot& s) {
            const Control* c = s.Find(kAddress);
            return c != nullptr && c->text == url_;
        })) << "the address field does not show what was typed";
        ASSERT_TRUE(g.Key("Return"));
        // "Exit After Last Download" is enabled only while a crawl runs.
        ASSERT_TRUE(g.WaitFor(
            [](const Snapshot& s) {
                const Control* c = s.Find(kExitAfterLast);
                return c != nullptr && c->enabled;
            },
            15000))
            << "the crawl did not start";
    }

    std::unique_ptr<test::NginxServer> server_;
    std::string site_;  // the state and settings files of a crawl are named after it
    std::string url_;
};

TEST_F(X11Crawl, ExitAfterLastDownloadEndsOnceTheMirrorIsComplete) {
    Grubbler* g = Start();
    ASSERT_NE(g, nullptr);
    const Snapshot first = g->Current();
    const Control* field = first.Find(kDownloadDir);
    ASSERT_NE(field, nullptr);
    const std::string downloads = field->text;
    EXPECT_EQ(fs::path(downloads), g->Home() / "Downloads");
    ASSERT_NO_FATAL_FAILURE(StartCrawl(*g));
    ASSERT_TRUE(g->Click(kExitAfterLast));
    ExpectNormalExit(60000, site_ + ".ini");
    for (const char* page : {"index.html", "about.html", "journal/2024/harvest.html"}) {
        EXPECT_TRUE(fs::is_regular_file(fs::path(downloads) / "127_0_0_1" / page))
            << page << " missing; files below " << downloads << ": "
            << ::testing::PrintToString(test::FilesBelow(downloads));
    }
}

TEST_F(X11Crawl, SaveAndExitWithQueuedWorkKeepsItInTheStateFile) {
    Grubbler* g = Start();
    ASSERT_NE(g, nullptr);
    ASSERT_NO_FATAL_FAILURE(StartCrawl(*g));
    ASSERT_TRUE(g->WaitFor([](const Snapshot& s) {
        const Control* links = s.Find(kLinksCounter);
        const Control* files = s.Find(kToDownloadCounter);
        return links != nullptr && files != nullptr &&
               (!links->text.ends_with(": 0") || !files->text.ends_with(": 0"));
    })) << "nothing queued";
    ASSERT_TRUE(g->Click(kSaveAndExit));
    ExpectNormalExit(30000, site_ + ".ini");
    EXPECT_EQ(StateFiles(g->Home()), std::set<std::string>{site_ + ".sav"});
    std::error_code ec;
    EXPECT_GT(fs::file_size(g->Home() / (site_ + ".sav"), ec), 0u);
}

TEST_F(X11Crawl, SaveAndExitWhenIdle) {
    Grubbler* g = Start();
    ASSERT_NE(g, nullptr);
    ASSERT_TRUE(g->Click(kSaveAndExit));
    ExpectNormalExit();
    EXPECT_EQ(StateFiles(g->Home()), std::set<std::string>{"Save.dat"});
}

// A new user's first run: the wizard at start-up, its website pages with
// their defaults, "Go Dig", and the mirror finished in the main window.
class X11FirstRun : public X11Crawl {
protected:
    std::string Rate() const override { return "0"; }
};

TEST_F(X11FirstRun, FromTheWizardToAFinishedMirror) {
    Grubbler* g = Start({.startupWizard = true});
    ASSERT_NE(g, nullptr);
    const std::string wizard = " Web Grubbler Wizard";
    const auto question = [&](const std::string& label) {
        return g->WaitFor([&](const Snapshot& s) { return s.HasButton(wizard, label); });
    };
    ASSERT_TRUE(g->ClickButtonOf(wizard, "Wizard View"));
    ASSERT_TRUE(question("Download Web Page(s)")) << g->LastSnapshotText();
    ASSERT_TRUE(g->ClickButtonOf(wizard, "Download Web Page(s)"));
    ASSERT_TRUE(question("Download Entire Website")) << g->LastSnapshotText();
    // The address field has the focus on its page.
    ASSERT_TRUE(g->Type(site_ + "/"));
    ASSERT_TRUE(g->ClickButtonOf(wizard, "Download Entire Website"));
    // Skip words and search words as they come (two list pages), how to
    // save, where to: each page taken as it stands.
    for (const char* shows :
         {"Add", "Add", "Directories Mirroring Those On Website", "Open 'My Computer'", "Go Dig"}) {
        ASSERT_TRUE(g->ClickButtonOf(wizard, "Next"));
        ASSERT_TRUE(question(shows)) << shows << "\n" << g->LastSnapshotText();
        // Two clicks on the same place in quick succession are a double click.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    EXPECT_TRUE(x_->Screenshot(ScreenshotDir() / "first-run-wizard-go-dig.png"));
    ASSERT_TRUE(g->ClickButtonOf(wizard, "Go Dig"));

    // The main window comes up with the crawl under way and ends it.
    std::string status;
    EXPECT_TRUE(g->WaitFor(
        [&](const Snapshot& s) {
            const Control* c = s.Find(kStatus);
            status = c != nullptr ? c->text : "";
            return status.find("Finished.") != std::string::npos;
        },
        60000))
        << "last status: " << status << "\n"
        << g->LastSnapshotText();
    const fs::path downloads = g->Home() / "Downloads";
    for (const char* page : {"index.html", "about.html", "journal/2024/harvest.html"}) {
        EXPECT_TRUE(fs::is_regular_file(downloads / "127_0_0_1" / page))
            << page << " missing; files below " << downloads << ": "
            << ::testing::PrintToString(test::FilesBelow(downloads));
    }
    ASSERT_TRUE(g->Focus());
    ASSERT_TRUE(g->ClickToExit(kExit));
    // The wizard named the settings file after the address.
    ExpectNormalExit(15000, site_ + ".ini");
}

}  // namespace
}  // namespace wg::x11
