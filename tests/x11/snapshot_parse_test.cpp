// The harness's reader of the program's UI snapshot file: what it takes from
// each kind of line, and the malformed lines it refuses rather than guesses.
#include <string>

#include "x11/x11_harness.h"

namespace wg::x11 {
namespace {

TEST(X11SnapshotParse, ReadsEveryKindOfLine) {
    const std::string text =
        "window 10 -20 800 600\n"
        "id2 700 550 80 24 1 -\tE&xit\n"
        "id1008 20 500 200 20 0 0\tExit After Last Download\n"
        "id1024 20 300 120 20 1 1\tWeb Pages\n"
        "id1055 20 580 600 18 1 -\tline one\\nC:\\\\dir \\t\n"
        "id1000 20 40 400 22 1 -\t\n"
        "toplevel - 300 200 320 140\tWarning\n"
        "button 400 300 75 23\t&Yes\n"
        "button 480 300 75 23\t&No\n"
        "toplevel about 0 0 10 10\tAbout Web Grubbler\n";
    std::string error;
    const std::optional<Snapshot> s = ParseSnapshot(text, &error);
    ASSERT_TRUE(s.has_value()) << error;
    ASSERT_TRUE(s->window.has_value());
    EXPECT_EQ(s->window->y, -20);
    EXPECT_EQ(s->window->w, 800);

    ASSERT_EQ(s->controls.size(), 5u);
    const Control* exit = s->Find(kExit);
    ASSERT_NE(exit, nullptr);
    EXPECT_EQ(exit->rect.CentreX(), 740);
    EXPECT_EQ(exit->rect.CentreY(), 562);
    EXPECT_TRUE(exit->enabled);
    EXPECT_EQ(exit->checked, -1);
    EXPECT_EQ(exit->text, "E&xit");
    EXPECT_FALSE(s->Find(kExitAfterLast)->enabled);
    EXPECT_EQ(s->Find(kExitAfterLast)->checked, 0);
    EXPECT_EQ(s->Find(kBoxWebPages)->checked, 1);
    EXPECT_EQ(s->Find(kStatus)->text, "line one\nC:\\dir \\t");
    EXPECT_EQ(s->Find(kAddress)->text, "");
    EXPECT_EQ(s->Find(kGoFetch), nullptr);

    ASSERT_EQ(s->toplevels.size(), 2u);
    const TopLevel* warning = s->FindTopLevel("Warning");
    ASSERT_NE(warning, nullptr);
    ASSERT_EQ(warning->buttons.size(), 2u);
    EXPECT_EQ(warning->buttons[1].label, "&No");
    EXPECT_EQ(warning->buttons[1].rect.x, 480);
    EXPECT_EQ(s->FindTopLevel("about"), &s->toplevels[1]);
    EXPECT_TRUE(s->FindTopLevel("about")->buttons.empty());
}

TEST(X11SnapshotParse, AnEmptyFileIsAHiddenWindow) {
    for (const char* text : {"", "\n"}) {
        const std::optional<Snapshot> s = ParseSnapshot(text, nullptr);
        ASSERT_TRUE(s.has_value());
        EXPECT_FALSE(s->window.has_value());
        EXPECT_TRUE(s->controls.empty());
    }
}

TEST(X11SnapshotParse, RefusesMalformedLines) {
    struct Bad {
        const char* text;
        int line;  // of the whole file, whose line 1 is a good "window" line
    };
    const Bad kBad[] = {
        {"window 1 2 3\n", 2},                            // a field missing
        {"window 1 2 3 4\tx\n", 2},                       // text where none belongs
        {"window 1 2 -3 4\n", 2},                         // negative size
        {"id2 1 2 3 4 1 -\n", 2},                         // no tab before the text
        {"id2 1 2 3 4 1\tExit\n", 2},                     // checked state missing
        {"id2 1 2 3 4 2 -\tExit\n", 2},                   // enabled neither 0 nor 1
        {"id2 1 2 3 4 1 3\tExit\n", 2},                   // checked out of range
        {"id2 1 2 3x 4 1 -\tExit\n", 2},                  // not a number
        {"idx 1 2 3 4 1 -\tExit\n", 2},                   // no number after "id"
        {"id2  1 2 3 4 1 -\tExit\n", 2},                  // two blanks
        {"id2 1 2 3 4 1 -\ta\nid2 1 2 3 4 1 -\tb\n", 3},  // the same control twice
        {"button 1 2 3 4\tOK\n", 2},                      // a button outside a top-level window
        {"toplevel 1 2 3 4\tTitle\n", 2},                 // no object name
        {"frame 1 2 3 4\n", 2},                           // an unknown kind of line
    };
    for (const Bad& bad : kBad) {
        std::string error;
        EXPECT_FALSE(ParseSnapshot(std::string("window 0 0 9 9\n") + bad.text, &error).has_value())
            << bad.text;
        EXPECT_TRUE(error.starts_with("line " + std::to_string(bad.line) + ": "))
            << bad.text << " -> " << error;
    }
}

}  // namespace
}  // namespace wg::x11
