// The main window on a 1280x900 screen at scale 1 and 2: the whole frame and
// the main buttons and the preview on the screen. Screenshots of both stay in
// the build's Testing/x11-screenshots folder for people to look at.
#include <signal.h>

#include <iostream>

#include "x11/x11_harness.h"

namespace wg::x11 {
namespace {

class X11Layout : public X11Test, public ::testing::WithParamInterface<int> {};

TEST_P(X11Layout, MainWindowFitsTheScreen) {
    const int scale = GetParam();
    Grubbler* g = Start({.scaleFactor = static_cast<double>(scale)});
    ASSERT_NE(g, nullptr);
    const fs::path png = ScreenshotDir() / ("main-window-scale" + std::to_string(scale) + ".png");
    EXPECT_TRUE(x_->Screenshot(png));
    std::cout << "[ x11 ] screenshot " << png.string() << "\n";

    // What the user sees first: the whole frame, the address row, the main
    // buttons and the status line, nothing hidden behind the screen's edge.
    const Snapshot s = g->Current();
    ASSERT_TRUE(s.window.has_value());
    const Rect w = *s.window;
    EXPECT_TRUE(w.Inside(kScreen))
        << "window frame " << w.x << "," << w.y << " " << w.w << "x" << w.h;
    const Control* status = s.Find(kStatus);
    ASSERT_NE(status, nullptr);
    const auto visible = [&](const Snapshot& now, int id) {
        const Control* c = now.Find(id);
        return c != nullptr && c->rect.Inside(w) && c->rect.y + c->rect.h <= status->rect.y;
    };
    for (const int id : {kAddress, kGoFetch, kWithinDomain, kBoxWebPages, kDownloadDir, kExit}) {
        const Control* c = s.Find(id);
        ASSERT_NE(c, nullptr) << "id" << id;
        EXPECT_TRUE(visible(s, id)) << "id" << id << " at " << c->rect.x << "," << c->rect.y << " "
                                    << c->rect.w << "x" << c->rect.h;
    }
    EXPECT_TRUE(status->rect.Inside(w));

    // The rest is reachable: where the screen is too small the body scrolls,
    // and the wheel brings the preview and the counters into view.
    const Control* scope = s.Find(kWithinDomain);
    ASSERT_NE(scope, nullptr);
    EXPECT_TRUE(g->WaitFor(
        [&](const Snapshot& now) {
            if (visible(now, kPreview) && visible(now, kDownloadedCounter)) {
                return true;
            }
            (void)x_->Run({"xdotool", "mousemove", std::to_string(scope->rect.CentreX()),
                           std::to_string(scope->rect.CentreY()), "click", "--repeat", "5", "5"});
            return false;
        },
        10000))
        << g->LastSnapshotText();
    const fs::path scrolled =
        ScreenshotDir() / ("main-window-scale" + std::to_string(scale) + "-scrolled.png");
    EXPECT_TRUE(x_->Screenshot(scrolled));
    std::cout << "[ x11 ] screenshot " << scrolled.string() << "\n";
    g->Signal(SIGTERM);  // whatever the layout, the program ends normally
    ExpectNormalExit();
}

INSTANTIATE_TEST_SUITE_P(Scales, X11Layout, ::testing::Values(1, 2),
                         [](const auto& info) { return "Scale" + std::to_string(info.param); });

}  // namespace
}  // namespace wg::x11
