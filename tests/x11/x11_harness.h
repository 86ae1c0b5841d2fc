// Drives the real desktop program in a real X server: an Xvfb display of its
// own with openbox on it, the program started there with its automation
// snapshot switched on (WEBGRUBBLER_UI_SNAPSHOT), xdotool and wmctrl for the
// input, ImageMagick's import for screenshots. Every child runs in a process
// group of its own and is killed with its group when its owner goes.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wg::x11 {

namespace fs = std::filesystem;

// The controls the tests use (the identifiers of namespace mw in
// src/ui/main_window.h).
inline constexpr int kGoFetch = 1;
inline constexpr int kExit = 2;
inline constexpr int kAddress = 1000;
inline constexpr int kWithinDomain = 1033;
inline constexpr int kBoxWebPages = 1024;
inline constexpr int kExitAfterLast = 1008;
inline constexpr int kSaveAndExit = 1066;
inline constexpr int kDownloadDir = 1176;
inline constexpr int kStatus = 1055;
inline constexpr int kToDownloadCounter = 1007;
inline constexpr int kLinksCounter = 1006;
inline constexpr int kDownloadedCounter = 1071;
inline constexpr int kPreview = 1190;

inline constexpr int kScreenWidth = 1280;
inline constexpr int kScreenHeight = 900;

// ---- The snapshot file ----

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    int CentreX() const { return x + w / 2; }
    int CentreY() const { return y + h / 2; }
    bool Inside(const Rect& outer) const {
        return w > 0 && h > 0 && x >= outer.x && y >= outer.y && x + w <= outer.x + outer.w &&
               y + h <= outer.y + outer.h;
    }
};
inline constexpr Rect kScreen{0, 0, kScreenWidth, kScreenHeight};

struct Control {
    Rect rect;
    bool enabled = false;
    int checked = -1;  // -1 not checkable, 0 unchecked, 1 partially, 2 checked
    std::string text;
};

struct Button {
    Rect rect;
    std::string label;
};

struct TopLevel {
    std::string name;
    Rect frame;
    std::string title;
    std::vector<Button> buttons;
};

struct Snapshot {
    std::optional<Rect> window;  // missing while the main window is hidden
    std::map<int, Control> controls;
    std::vector<TopLevel> toplevels;
    bool leaving = false;  // the program was told to end

    // (Not on a temporary: the pointers point into the snapshot.)
    const Control* Find(int id) const&;
    const Control* Find(int id) const&& = delete;
    // The top-level window whose title or object name is `nameOrTitle`.
    const TopLevel* FindTopLevel(std::string_view nameOrTitle) const&;
    const TopLevel* FindTopLevel(std::string_view nameOrTitle) const&& = delete;
    // The first top-level window whose title starts with `titleStart`.
    const TopLevel* FindTopLevelStarting(std::string_view titleStart) const&;
    const TopLevel* FindTopLevelStarting(std::string_view titleStart) const&& = delete;
    // Whether top-level window `nameOrTitle` shows a button labelled `label`.
    bool HasButton(std::string_view nameOrTitle, std::string_view label) const;
};

// Parses the whole file; nullopt with `error` naming the first bad line.
std::optional<Snapshot> ParseSnapshot(std::string_view text, std::string* error);

// Polls `condition` until it holds; false after `timeoutMs`.
bool PollUntil(const std::function<bool()>& condition, int timeoutMs = 10000);

// ---- Child processes ----

// The environment of a child: this process's, with changes.
class Environment {
public:
    Environment();
    void Set(const std::string& name, const std::string& value) { vars_[name] = value; }
    void Unset(const std::string& name) { vars_.erase(name); }
    std::vector<std::string> Entries() const;

private:
    std::map<std::string, std::string> vars_;
};

struct ExitStatus {
    bool signalled = false;
    int value = 0;  // the exit code, or the signal number when signalled
    bool operator==(const ExitStatus&) const = default;
};
std::ostream& operator<<(std::ostream& out, const ExitStatus& status);
inline constexpr ExitStatus kExitedZero{false, 0};

class Process {
public:
    // Starts `argv` in a new process group, standard output and error into
    // `log` (appended). `passFd`, when given, is the child's descriptor 3.
    Process(const std::vector<std::string>& argv, const Environment& env, const fs::path& log,
            int passFd = -1);
    ~Process();  // Stop()
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Started() const { return pid_ > 0; }
    // The status once the process has ended; nullopt when it still runs after
    // `timeoutMs`.
    std::optional<ExitStatus> Wait(int timeoutMs);
    void Signal(int signal);
    // SIGTERM to the group, SIGKILL after a grace time, then reaps.
    void Stop();

private:
    pid_t pid_ = -1;
    std::optional<ExitStatus> status_;
};

struct ToolResult {
    int status = -1;  // exit code; -1 when it could not start or did not end in time
    std::string output;
};

// ---- The X session ----

class XSession {
public:
    // Starts Xvfb on a display of its own, then openbox, and waits until the
    // window manager answers; tries a few displays. Check Error() afterwards.
    explicit XSession(const fs::path& dir);
    ~XSession();

    const std::string& Error() const { return error_; }
    Environment ClientEnvironment() const;
    // Runs an X client (xdotool, wmctrl, ...) to its end.
    ToolResult Run(const std::vector<std::string>& argv, int timeoutMs = 10000) const;
    bool Screenshot(const fs::path& png) const;
    // Waits until a window whose name matches `nameRegex` is viewable and the
    // X server gives the same place and size twice in a row (a click that
    // comes while the window manager still places a window is lost); its
    // frame into `frame`.
    bool Settled(const std::string& nameRegex, Rect* frame = nullptr) const;
    std::string Logs() const;

private:
    bool Start(int number);

    fs::path dir_;
    std::string display_;
    std::unique_ptr<Process> server_;
    std::unique_ptr<Process> wm_;
    std::string error_;
};

// ---- The program ----

struct ProgramOptions {
    double scaleFactor = 0;  // 0: QT_SCALE_FACTOR unset
    // The program starts in its main window (START_CLASSIC in a new settings
    // file) unless the start-up wizard is wanted; then Grubbler's constructor
    // waits for the wizard instead.
    bool startupWizard = false;
};

class Grubbler {
public:
    // Starts webgrubbler with `dir`/home as its program directory and waits
    // until the window manager shows the main window and the snapshot has it.
    Grubbler(XSession& x, const fs::path& dir, ProgramOptions options = {});
    ~Grubbler();

    const std::string& Error() const { return error_; }
    const fs::path& Home() const { return home_; }

    // The snapshot as the program last wrote it (empty when unreadable).
    Snapshot Current();
    const std::string& LastSnapshotText() const { return lastText_; }
    // Polls the snapshot until `condition` holds; false after `timeoutMs` or
    // when the program has ended.
    bool WaitFor(const std::function<bool(const Snapshot&)>& condition, int timeoutMs = 10000);
    // Waits for control `id` enabled, then clicks its centre `times` times
    // in quick succession.
    bool Click(int id, int times = 1);
    // Clicks control `id` that ends the program (Exit); a click the program
    // never got (it neither ended nor started to) is made again, up to three
    // times in all.
    bool ClickToExit(int id);
    // Clicks the button labelled `label` ('&' ignored) of a top-level window.
    bool ClickButtonOf(std::string_view toplevel, std::string_view label);
    // Raises the main window and waits until it has the keyboard focus.
    bool Focus();
    bool Key(const std::string& keys);
    // The close box of the title bar, through the window manager.
    bool CloseBox();
    bool Type(const std::string& text);

    // Waits for the program to end. On timeout a screenshot goes into the
    // test's directory (its path printed) and the program is killed.
    std::optional<ExitStatus> WaitExit(int timeoutMs);
    // True when the program ends within the time; it is left running if not.
    bool EndsWithin(int timeoutMs) { return process_->Wait(timeoutMs).has_value(); }
    void Signal(int signal) { process_->Signal(signal); }
    std::string Log() const;

private:
    XSession& x_;
    fs::path dir_;
    fs::path home_;
    fs::path snapshot_;
    fs::path log_;
    std::unique_ptr<Process> process_;
    std::string lastText_;
    bool reportedBadSnapshot_ = false;
    std::string error_;
};

// ---- The test fixture ----

// A directory of its own and an X session per test; on failure the directory
// (logs, screenshots, the program directory) is kept and named.
class X11Test : public ::testing::Test {
protected:
    X11Test();
    ~X11Test() override;
    void SetUp() override;
    void TearDown() override;

    // Starts the program; nullptr (and a failure) when it does not come up.
    Grubbler* Start(ProgramOptions options = {});
    // Waits up to `timeoutMs` for the program to end and checks the normal
    // end: exit status 0 and the settings file (in the program directory)
    // written since Start().
    void ExpectNormalExit(int timeoutMs = 15000, const std::string& settingsFile = "Grubbler.ini");

    fs::path dir_;
    std::unique_ptr<XSession> x_;
    std::unique_ptr<Grubbler> program_;
    // The settings files of the program directory as Start() found them.
    std::map<std::string, fs::file_time_type> settingsAtStart_;
};

// The build's Testing/x11-screenshots folder, for pictures kept for people.
fs::path ScreenshotDir();

}  // namespace wg::x11
