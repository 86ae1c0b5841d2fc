// The tray icon of the real program, with a tray host (wmdocker) on the
// display: minimising puts the window into the tray, the icon brings it back
// where it was, and the icon's menu pauses and ends the program.
#include <chrono>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <ostream>
#include <regex>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "x11/x11_harness.h"

namespace wg::x11 {
namespace {

constexpr int kPause = 1184;  // mw::kPause
constexpr const char* kMainTitle = "^ Web Grubbler v";

std::string Describe(const Rect& r) {
    std::ostringstream out;
    out << r.x << "," << r.y << " " << r.w << "x" << r.h;
    return out.str();
}

class X11Tray : public X11Test {
public:
    // Clicks the icon with mouse `button`, `times` in quick succession.
    void ClickIcon(const std::string& button, int times) {
        const std::optional<Window> icon = Icon();
        ASSERT_TRUE(icon.has_value()) << "no icon in the tray";
        ASSERT_EQ(x_->Run({"xdotool", "mousemove", std::to_string(icon->rect.CentreX()),
                           std::to_string(icon->rect.CentreY()), "click", "--repeat",
                           std::to_string(times), "--delay", "80", button})
                      .status,
                  0);
    }

    // Double-clicks the icon until the main window is back in the snapshot.
    // Now and then under Xvfb the two clicks are not taken for a double
    // click, for no reason found; a person double-clicks again then too.
    void DoubleClickIcon() {
        for (int tries = 1; tries <= 3; ++tries) {
            ASSERT_NO_FATAL_FAILURE(ClickIcon("1", 2));
            if (program_->WaitFor([](const Snapshot& s) { return s.window.has_value(); }, 3000)) {
                if (tries > 1) {
                    std::cout << "[ x11 ] the window came back at double click " << tries << "\n";
                }
                return;
            }
        }
    }

    // Opens the icon's menu and picks an entry with `keys` (key names
    // separated by blanks).
    void PickFromMenu(const std::string& keys) {
        ASSERT_TRUE(PollUntil([&] { return MenusShown() == 0; })) << "a menu is still open";
        // A click that comes while the last menu lets go of the pointer is
        // lost; another one then opens the menu.
        bool open = false;
        for (int click = 0; click < 3 && !open; ++click) {
            ASSERT_NO_FATAL_FAILURE(ClickIcon("3", 1));
            open = PollUntil([&] { return MenusShown() == 1; }, 2000);
        }
        ASSERT_TRUE(open) << "the icon's menu did not open";
        std::vector<std::string> argv = {"xdotool", "key", "--delay", "50"};
        std::istringstream names(keys);
        for (std::string name; names >> name;) {
            argv.push_back(name);
        }
        ASSERT_EQ(x_->Run(argv).status, 0);
    }

protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(X11Test::SetUp());
        tray_ = std::make_unique<Process>(std::vector<std::string>{"wmdocker"},
                                          x_->ClientEnvironment(), dir_ / "wmdocker.log");
        // Its window carries the embedded icons.
        ASSERT_TRUE(PollUntil([&] {
            const ToolResult found = x_->Run({"xdotool", "search", "--name", "^Docker$"});
            dock_ = found.status == 0 ? found.output.substr(0, found.output.find('\n')) : "";
            return !dock_.empty();
        })) << "no tray host on the display (scripts/setup.sh installs wmdocker)";
    }

    void TearDown() override {
        X11Test::TearDown();
        tray_.reset();
    }

    struct Window {
        unsigned long id;
        Rect rect;  // on the screen
    };

    // The program's icon in the tray.
    std::optional<Window> Icon() const {
        static const std::regex child(
            R"(^\s+(0x[0-9a-f]+) .*\s(\d+)x(\d+)[+-]-?\d+[+-]-?\d+\s+\+(-?\d+)\+(-?\d+)\s*$)");
        std::istringstream lines(x_->Run({"xwininfo", "-children", "-id", dock_}).output);
        std::smatch m;
        for (std::string line; std::getline(lines, line);) {
            if (std::regex_match(line, m, child)) {
                return Window{std::stoul(m[1], nullptr, 16),
                              {std::stoi(m[4]), std::stoi(m[5]), std::stoi(m[2]), std::stoi(m[3])}};
            }
        }
        return std::nullopt;
    }

    // Moves the main window away from where the window manager puts windows
    // and answers its frame there.
    Rect MoveAway(Grubbler& g) {
        Rect frame;
        EXPECT_EQ(
            x_->Run({"xdotool", "search", "--name", kMainTitle, "windowmove", "430", "310"}).status,
            0);
        EXPECT_TRUE(g.WaitFor([&](const Snapshot& s) {
            frame = s.window.value_or(Rect{});
            return frame.x > 400 && frame.y > 280;
        })) << "the main window did not move; snapshot:\n"
            << g.LastSnapshotText();
        return frame;
    }

    // Minimises the main window and waits for it to leave the snapshot and
    // for the icon to come up.
    void IntoTray(Grubbler& g) {
        ASSERT_EQ(x_->Run({"xdotool", "search", "--name", kMainTitle, "windowminimize"}).status, 0);
        ASSERT_TRUE(g.WaitFor([](const Snapshot& s) { return !s.window; }))
            << "the main window is still shown:\n"
            << g.LastSnapshotText();
        ASSERT_TRUE(PollUntil([&] {
            const std::optional<Window> icon = Icon();
            return icon && x_->Run({"xwininfo", "-id", std::to_string(icon->id)})
                                   .output.find("IsViewable") != std::string::npos;
        })) << "no icon in the tray";
    }

    // The program's windows on the screen other than its icon: with the main
    // window in the tray, the menus.
    int MenusShown() const {
        const std::optional<Window> icon = Icon();
        std::istringstream lines(
            x_->Run({"xdotool", "search", "--onlyvisible", "--classname", "webgrubbler"}).output);
        int count = 0;
        for (std::string id; std::getline(lines, id);) {
            count += icon && std::stoul(id) == icon->id ? 0 : 1;
        }
        return count;
    }

    std::unique_ptr<Process> tray_;
    std::string dock_;  // the tray host's window
};

struct RestoreWay {
    const char* name;
    std::function<void(X11Tray&)> act;
};

class X11TrayRestore : public X11Tray, public ::testing::WithParamInterface<RestoreWay> {};

void PrintTo(const RestoreWay& way, std::ostream* out) {
    *out << way.name;
}

// The main window comes back where it was, with the child windows that were
// open when it went into the tray (and that went with it).
TEST_P(X11TrayRestore, BringsTheWindowBackWhereItWas) {
    Grubbler* g = Start();
    ASSERT_NE(g, nullptr);
    struct Child {
        int button;
        std::string_view titleStart;
        const char* closeLabel;
        std::string title;
    };
    std::vector<Child> children = {{1107, " Files To Download Queue", "Close", {}},
                                   {1002, " Options", "Cancel", {}}};
    for (Child& child : children) {
        ASSERT_TRUE(g->Focus());
        ASSERT_TRUE(g->Click(child.button));
        ASSERT_TRUE(g->WaitFor([&](const Snapshot& s) {
            const TopLevel* top = s.FindTopLevelStarting(child.titleStart);
            child.title = top != nullptr ? top->title : "";
            return top != nullptr;
        })) << child.titleStart;
        // Below the main window, so that its buttons can still be clicked.
        ASSERT_EQ(x_->Run({"xdotool", "search", "--name", "^" + child.title + "$", "windowmove",
                           "0", "660"})
                      .status,
                  0);
        ASSERT_TRUE(g->WaitFor([&](const Snapshot& s) {
            const TopLevel* top = s.FindTopLevelStarting(child.titleStart);
            return top != nullptr && top->frame.y >= 600;
        })) << child.title
            << " did not move";
    }
    const auto allShown = [&](const Snapshot& s, bool shown) {
        for (const Child& child : children) {
            if ((s.FindTopLevelStarting(child.titleStart) != nullptr) != shown) {
                return false;
            }
        }
        return true;
    };
    const Rect frame = MoveAway(*g);
    ASSERT_NO_FATAL_FAILURE(IntoTray(*g));
    EXPECT_TRUE(g->WaitFor([&](const Snapshot& s) { return allShown(s, false); }))
        << "child windows stay on the screen:\n"
        << g->LastSnapshotText();
    ASSERT_NO_FATAL_FAILURE(GetParam().act(*this));
    EXPECT_TRUE(g->WaitFor([&](const Snapshot& s) { return allShown(s, true); }))
        << "the child windows did not come back:\n"
        << g->LastSnapshotText();
    Rect back;
    EXPECT_TRUE(g->WaitFor([&](const Snapshot& s) {
        back = s.window.value_or(Rect{});
        return s.window && back.x == frame.x && back.y == frame.y && back.w == frame.w &&
               back.h == frame.h;
    })) << "went into the tray at "
        << Describe(frame) << ", came back at " << Describe(back);
    EXPECT_TRUE(PollUntil([&] { return !Icon(); })) << "the icon stays with the window shown";
    // Back on the screen and active (the snapshot has the window before the
    // window manager shows it, and a click that comes while the window is
    // still being placed is lost).
    ASSERT_TRUE(x_->Settled(kMainTitle));
    for (const Child& child : children) {
        ASSERT_TRUE(g->ClickButtonOf(child.title, child.closeLabel));
        EXPECT_TRUE(g->WaitFor([&](const Snapshot& s) {
            return !s.FindTopLevelStarting(child.titleStart);
        })) << child.title
            << " is still open";
    }
    ASSERT_TRUE(g->Focus());
    ASSERT_TRUE(g->ClickToExit(kExit));
    ExpectNormalExit();
}

const RestoreWay kRestoreWays[] = {
    {"DoubleClick", [](X11Tray& t) { t.DoubleClickIcon(); }},
    {"MenuShow", [](X11Tray& t) { t.PickFromMenu("Down Return"); }},
};

INSTANTIATE_TEST_SUITE_P(Ways, X11TrayRestore, ::testing::ValuesIn(kRestoreWays),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(X11Tray, MenuPausesAndExits) {
    Grubbler* g = Start();
    ASSERT_NE(g, nullptr);
    ASSERT_NO_FATAL_FAILURE(IntoTray(*g));
    ASSERT_NO_FATAL_FAILURE(PickFromMenu("Down Down Return"));  // "Pause"
    ASSERT_NO_FATAL_FAILURE(PickFromMenu("Down Return"));       // "Show"
    ASSERT_TRUE(g->Focus());
    EXPECT_TRUE(g->WaitFor([](const Snapshot& s) {
        const Control* pause = s.Find(kPause);
        return pause != nullptr && pause->text == "Unpause";
    })) << "the menu's Pause did not pause:\n"
        << g->LastSnapshotText();
    ASSERT_NO_FATAL_FAILURE(IntoTray(*g));
    ASSERT_NO_FATAL_FAILURE(PickFromMenu("Up Return"));  // "Exit"
    ExpectNormalExit();
}

}  // namespace
}  // namespace wg::x11
