// The main window's other windows in the real program: each opens from its
// button or menu, closes from its own button, and the program still ends
// normally afterwards.
#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <thread>

#include "x11/x11_harness.h"

namespace wg::x11 {
namespace {

struct ChildWindow {
    const char* name;
    std::function<void(Grubbler&)> open;
    const char* titleStart;  // the window's title begins with this
    const char* closeLabel;
};

void PrintTo(const ChildWindow& w, std::ostream* out) {
    *out << w.name;
}

std::function<void(Grubbler&)> ClickOn(int id) {
    return [id](Grubbler& g) { ASSERT_TRUE(g.Click(id)); };
}

std::function<void(Grubbler&)> FromMenu(const char* keys) {
    return [keys](Grubbler& g) {
        ASSERT_TRUE(g.Focus());
        ASSERT_TRUE(g.Key(keys));
        std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the menu opens
        ASSERT_TRUE(g.Key("Return"));
    };
}

const ChildWindow kWindows[] = {
    {"ToDownload", ClickOn(1107), " Files To Download Queue", "Close"},
    {"ToGrubble", ClickOn(1185), " Web Pages To Grubble Queue", "Close"},
    {"InProcess", ClickOn(1178), " In Process List", "Close"},
    {"Options", ClickOn(1002), " Options", "Cancel"},
    {"FindDuplicates", FromMenu("alt+d"), " Find Duplicate Files", "Close"},
};

class X11Windows : public X11Test, public ::testing::WithParamInterface<ChildWindow> {
protected:
    // Waits until the window of this title is viewable and the X server gives
    // the same place and size twice in a row: a click that comes while the
    // window manager still places a new window is lost.
    bool SettledOnScreen(const std::string& title) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        std::string last;
        while (std::chrono::steady_clock::now() < deadline) {
            const std::string now = x_->Run({"xdotool", "search", "--onlyvisible", "--name",
                                             "^" + title + "$", "getwindowgeometry"})
                                        .output;
            if (now.find("Position") != std::string::npos && now == last) {
                return true;
            }
            last = now;
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
        }
        ADD_FAILURE() << "\"" << title << "\" did not settle on the screen: " << last;
        return false;
    }
};

TEST_P(X11Windows, OpenAndCloseThenTheProgramEnds) {
    Grubbler* g = Start();
    ASSERT_NE(g, nullptr);
    ASSERT_NO_FATAL_FAILURE(GetParam().open(*g));
    std::string title;
    ASSERT_TRUE(g->WaitFor([&](const Snapshot& s) {
        for (const TopLevel& top : s.toplevels) {
            if (top.title.starts_with(GetParam().titleStart) && !top.buttons.empty()) {
                title = top.title;
                return true;
            }
        }
        return false;
    })) << "no window titled \""
        << GetParam().titleStart << "...\"; snapshot:\n"
        << g->LastSnapshotText();
    ASSERT_TRUE(SettledOnScreen(title));
    ASSERT_TRUE(g->ClickButtonOf(title, GetParam().closeLabel));
    EXPECT_TRUE(g->WaitFor([&](const Snapshot& s) { return s.FindTopLevel(title) == nullptr; }))
        << "\"" << title << "\" is still open";
    ASSERT_TRUE(g->Focus());
    ASSERT_TRUE(g->Click(kExit));
    ExpectNormalExit();
}

INSTANTIATE_TEST_SUITE_P(Each, X11Windows, ::testing::ValuesIn(kWindows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace wg::x11
