#include "x11/x11_harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

extern char** environ;

namespace wg::x11 {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPollMs = 20;
constexpr int kStartTimeoutMs = 20000;
constexpr const char* kTitle = " Web Grubbler v1.29";
constexpr const char* kWizardTitle = " Web Grubbler Wizard";

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::vector<std::string> Split(std::string_view text, char separator) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = text.find(separator, from);
        parts.emplace_back(text.substr(from, at - from));
        if (at == std::string_view::npos) {
            return parts;
        }
        from = at + 1;
    }
}

bool ToInt(const std::string& field, int* value) {
    const char* end = field.data() + field.size();
    auto [ptr, ec] = std::from_chars(field.data(), end, *value);
    return ec == std::errc() && ptr == end && !field.empty();
}

// Four numbers from fields[first...].
bool ToRect(const std::vector<std::string>& fields, std::size_t first, Rect* rect) {
    return fields.size() >= first + 4 && ToInt(fields[first], &rect->x) &&
           ToInt(fields[first + 1], &rect->y) && ToInt(fields[first + 2], &rect->w) &&
           ToInt(fields[first + 3], &rect->h) && rect->w >= 0 && rect->h >= 0;
}

// "\n" as two characters is a line break, "\\" a backslash.
std::string Unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == '\\')) {
            out += text[++i] == 'n' ? '\n' : '\\';
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string WithoutAmpersands(std::string_view label) {
    std::string out;
    for (std::size_t i = 0; i < label.size(); ++i) {
        if (label[i] == '&' && i + 1 < label.size()) {
            ++i;  // "&&" is a literal '&'
        }
        out += label[i];
    }
    return out;
}

}  // namespace

bool PollUntil(const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (condition()) {
            return true;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
}

// ---- The snapshot file ----

const Control* Snapshot::Find(int id) const& {
    const auto it = controls.find(id);
    return it == controls.end() ? nullptr : &it->second;
}

const TopLevel* Snapshot::FindTopLevel(std::string_view nameOrTitle) const& {
    for (const TopLevel& top : toplevels) {
        if (top.title == nameOrTitle || top.name == nameOrTitle) {
            return &top;
        }
    }
    return nullptr;
}

const TopLevel* Snapshot::FindTopLevelStarting(std::string_view titleStart) const& {
    for (const TopLevel& top : toplevels) {
        if (top.title.starts_with(titleStart)) {
            return &top;
        }
    }
    return nullptr;
}

bool Snapshot::HasButton(std::string_view nameOrTitle, std::string_view label) const {
    const TopLevel* top = FindTopLevel(nameOrTitle);
    return top != nullptr && std::any_of(top->buttons.begin(), top->buttons.end(),
                                         [&](const Button& b) { return b.label == label; });
}

std::optional<Snapshot> ParseSnapshot(std::string_view text, std::string* error) {
    Snapshot snapshot;
    int number = 0;
    for (const std::string& line : Split(text, '\n')) {
        ++number;
        if (line.empty()) {
            continue;
        }
        const std::size_t tab = line.find('\t');
        const bool hasText = tab != std::string::npos;
        const std::vector<std::string> fields = Split(std::string_view(line).substr(0, tab), ' ');
        const std::string body = hasText ? Unescape(std::string_view(line).substr(tab + 1)) : "";
        const std::string& kind = fields[0];
        bool ok = false;
        Rect rect;
        int id = 0;
        if (kind == "window") {
            ok = !hasText && fields.size() == 5 && ToRect(fields, 1, &rect);
            snapshot.window = rect;
        } else if (kind == "toplevel") {
            ok = hasText && fields.size() == 6 && !fields[1].empty() && ToRect(fields, 2, &rect);
            snapshot.toplevels.push_back({fields[1], rect, body, {}});
        } else if (kind == "button") {
            ok = hasText && fields.size() == 5 && ToRect(fields, 1, &rect) &&
                 !snapshot.toplevels.empty();
            if (ok) {
                snapshot.toplevels.back().buttons.push_back({rect, body});
            }
        } else if (kind == "leaving") {
            ok = !hasText && fields.size() == 1;
            snapshot.leaving = true;
        } else if (kind.starts_with("id") && ToInt(kind.substr(2), &id)) {
            Control control;
            const std::string& checked = fields.size() == 7 ? fields[6] : "";
            ok = hasText && fields.size() == 7 && ToRect(fields, 1, &control.rect) &&
                 (fields[5] == "0" || fields[5] == "1") &&
                 (checked == "-" || checked == "0" || checked == "1" || checked == "2") &&
                 snapshot.controls.count(id) == 0;
            control.enabled = fields[5] == "1";
            control.checked = checked == "-" ? -1 : checked[0] - '0';
            control.text = body;
            snapshot.controls[id] = control;
        }
        if (!ok) {
            if (error != nullptr) {
                *error = "line " + std::to_string(number) + ": " + line;
            }
            return std::nullopt;
        }
    }
    return snapshot;
}

// ---- Child processes ----

Environment::Environment() {
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::size_t eq = text.find('=');
        if (eq != std::string::npos) {
            vars_[text.substr(0, eq)] = text.substr(eq + 1);
        }
    }
}

std::vector<std::string> Environment::Entries() const {
    std::vector<std::string> entries;
    for (const auto& [name, value] : vars_) {
        entries.push_back(name + "=" + value);
    }
    return entries;
}

std::ostream& operator<<(std::ostream& out, const ExitStatus& status) {
    return out << (status.signalled ? "killed by signal " : "exit status ") << status.value;
}

Process::Process(const std::vector<std::string>& argv, const Environment& env, const fs::path& log,
                 int passFd) {
    std::vector<std::string> args = argv;
    std::vector<std::string> entries = env.Entries();
    std::vector<char*> argp;
    std::vector<char*> envp;
    for (std::string& a : args) {
        argp.push_back(a.data());
    }
    for (std::string& e : entries) {
        envp.push_back(e.data());
    }
    argp.push_back(nullptr);
    envp.push_back(nullptr);
    const std::string logPath = log.string();
    const pid_t parent = ::getpid();
    // fork rather than posix_spawn for PR_SET_PDEATHSIG: a test killed by
    // ctest's timeout takes its X server and program with it. Only
    // async-signal-safe calls until exec.
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (in < 0 || out < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(out, 2) < 0 ||
            (passFd >= 0 && (passFd == 3 ? ::fcntl(3, F_SETFD, 0) : ::dup2(passFd, 3)) < 0)) {
            ::_exit(127);
        }
        ::execvpe(argp[0], argp.data(), envp.data());
        const char message[] = "exec failed\n";
        (void)!::write(2, message, sizeof message - 1);
        ::_exit(127);
    }
    if (pid > 0) {
        ::setpgid(pid, pid);  // also from here, so the group exists before any kill
        pid_ = pid;
    }
}

Process::~Process() {
    Stop();
}

std::optional<ExitStatus> Process::Wait(int timeoutMs) {
    if (!status_ && pid_ > 0) {
        PollUntil(
            [&] {
                int raw = 0;
                if (::waitpid(pid_, &raw, WNOHANG) != pid_) {
                    return false;
                }
                status_ = WIFSIGNALED(raw) ? ExitStatus{true, WTERMSIG(raw)}
                                           : ExitStatus{false, WEXITSTATUS(raw)};
                return true;
            },
            timeoutMs);
    }
    return status_;
}

void Process::Signal(int signal) {
    if (pid_ > 0 && !status_) {
        ::kill(pid_, signal);
    }
}

void Process::Stop() {
    if (pid_ <= 0 || Wait(0)) {
        return;
    }
    ::kill(-pid_, SIGTERM);
    if (!Wait(3000)) {
        ::kill(-pid_, SIGKILL);
        int raw = 0;
        ::waitpid(pid_, &raw, 0);
        status_ = ExitStatus{true, SIGKILL};
    }
}

// ---- The X session ----

XSession::XSession(const fs::path& dir) : dir_(dir) {
    fs::create_directories(dir_ / "wm-home");
    // Each test process takes its own display numbers, spread by process id,
    // rather than the lowest free one: a display another test has just given
    // up can still be tearing down when the next server claims the number.
    const int first = 100 + static_cast<int>(::getpid() % 20000) * 3;
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (Start(first + attempt)) {
            error_.clear();
            return;
        }
        wm_.reset();
        server_.reset();
    }
}

bool XSession::Start(int number) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        error_ = "no pipe";
        return false;
    }
    server_ = std::make_unique<Process>(
        std::vector<std::string>{
            "Xvfb", ":" + std::to_string(number), "-displayfd", "3", "-screen", "0",
            std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight) + "x24", "-nolisten",
            "tcp"},
        Environment(), dir_ / "xvfb.log", fds[1]);
    ::close(fds[1]);
    // Xvfb writes the display number, then a newline, once it listens.
    std::string reported;
    const auto deadline = Clock::now() + std::chrono::seconds(15);
    while (reported.find('\n') == std::string::npos && Clock::now() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, kPollMs) > 0) {
            char buf[32];
            const ssize_t n = ::read(fds[0], buf, sizeof buf);
            if (n <= 0) {
                break;
            }
            reported.append(buf, static_cast<std::size_t>(n));
        }
    }
    ::close(fds[0]);
    if (reported.find('\n') == std::string::npos) {
        error_ = "Xvfb did not come up on :" + std::to_string(number) +
                 " (scripts/setup.sh installs xvfb): " + Logs();
        return false;
    }
    display_ = ":" + reported.substr(0, reported.find('\n'));

    Environment env = ClientEnvironment();
    env.Set("HOME", (dir_ / "wm-home").string());
    env.Set("XDG_CONFIG_HOME", (dir_ / "wm-home").string());
    wm_ = std::make_unique<Process>(std::vector<std::string>{"openbox", "--sm-disable"}, env,
                                    dir_ / "openbox.log");
    bool up = false;
    PollUntil(
        [&] {
            up = !wm_->Wait(0) && Run({"wmctrl", "-m"}).status == 0;
            return up || wm_->Wait(0).has_value();
        },
        15000);
    if (!up) {
        error_ = "openbox did not come up on " + display_ + ": " + Logs();
        return false;
    }
    return true;
}

XSession::~XSession() {
    wm_.reset();
    server_.reset();
}

Environment XSession::ClientEnvironment() const {
    Environment env;
    env.Set("DISPLAY", display_);
    env.Unset("WAYLAND_DISPLAY");
    env.Unset("XAUTHORITY");
    return env;
}

ToolResult XSession::Run(const std::vector<std::string>& argv, int timeoutMs) const {
    static int counter = 0;
    const fs::path out = dir_ / ("tool-" + std::to_string(++counter) + ".out");
    ToolResult result;
    {
        Process tool(argv, ClientEnvironment(), out);
        const std::optional<ExitStatus> status = tool.Wait(timeoutMs);
        if (status && !status->signalled) {
            result.status = status->value;
        }
    }
    result.output = ReadFile(out);
    std::error_code ec;
    fs::remove(out, ec);
    return result;
}

bool XSession::Screenshot(const fs::path& png) const {
    return Run({"import", "-window", "root", png.string()}, 20000).status == 0;
}

bool XSession::Settled(const std::string& nameRegex, Rect* frame) const {
    std::string last;
    const bool settled = PollUntil(
        [&] {
            const std::string now = Run({"xdotool", "search", "--onlyvisible", "--name", nameRegex,
                                         "getwindowgeometry"})
                                        .output;
            const bool same = now.find("Position") != std::string::npos && now == last;
            last = now;
            std::this_thread::sleep_for(std::chrono::milliseconds(same ? 0 : 150));
            return same;
        },
        5000);
    EXPECT_TRUE(settled) << "\"" << nameRegex << "\" did not settle on the screen: " << last;
    const std::size_t at = last.find("Position:");
    const std::size_t sized = last.find("Geometry:");
    if (frame != nullptr && settled && at != std::string::npos && sized != std::string::npos) {
        EXPECT_EQ(std::sscanf(last.c_str() + at, "Position: %d,%d", &frame->x, &frame->y), 2);
        EXPECT_EQ(std::sscanf(last.c_str() + sized, "Geometry: %dx%d", &frame->w, &frame->h), 2);
    }
    return settled;
}

std::string XSession::Logs() const {
    return "\n---- Xvfb ----\n" + ReadFile(dir_ / "xvfb.log") + "\n---- openbox ----\n" +
           ReadFile(dir_ / "openbox.log");
}

// ---- The program ----

Grubbler::Grubbler(XSession& x, const fs::path& dir, ProgramOptions options)
    : x_(x), dir_(dir), home_(dir / "home"), snapshot_(dir / "ui.txt"), log_(dir / "program.log") {
    const fs::path user = dir / "user";
    for (const fs::path& p :
         {home_, user / ".local/share", user / ".config", user / ".cache", dir / "run"}) {
        fs::create_directories(p);
    }
    ::chmod((dir / "run").c_str(), 0700);
    if (!options.startupWizard && !fs::exists(home_ / "Grubbler.ini")) {
        std::ofstream(home_ / "Grubbler.ini") << "START_CLASSIC=1\n";
    }
    Environment env = x_.ClientEnvironment();
    env.Set("QT_QPA_PLATFORM", "xcb");
    for (const char* name :
         {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_ENABLE_HIGHDPI_SCALING",
          "QT_AUTO_SCREEN_SCALE_FACTOR", "QT_FONT_DPI"}) {
        env.Unset(name);
    }
    if (options.scaleFactor > 0) {
        std::ostringstream scale;
        scale << options.scaleFactor;
        env.Set("QT_SCALE_FACTOR", scale.str());
    }
    env.Set("WEBGRUBBLER_PROBE_HOST", "127.0.0.1:9");
    env.Set("WEBGRUBBLER_UPDATE_HOST", "127.0.0.1:9");
    env.Set("WEBGRUBBLER_UI_SNAPSHOT", snapshot_.string());
    env.Set("HOME", user.string());
    env.Set("XDG_DATA_HOME", (user / ".local/share").string());
    env.Set("XDG_CONFIG_HOME", (user / ".config").string());
    env.Set("XDG_CACHE_HOME", (user / ".cache").string());
    env.Set("XDG_RUNTIME_DIR", (dir / "run").string());
    process_ = std::make_unique<Process>(
        std::vector<std::string>{WG_GRUBBLER_PATH, "--home", home_.string()}, env, log_);
    if (!process_->Started()) {
        error_ = "could not start " WG_GRUBBLER_PATH;
        return;
    }
    if (options.startupWizard) {
        // The wizard comes first, alone: the tests start from its settled frame.
        Rect last;
        if (!WaitFor(
                [&](const Snapshot& s) {
                    const TopLevel* wizard = s.FindTopLevel(kWizardTitle);
                    const Rect now = wizard != nullptr ? wizard->frame : Rect{};
                    const bool settled = now.w > 100 && now.x == last.x && now.y == last.y &&
                                         now.w == last.w && now.h == last.h;
                    last = now;
                    return settled && !wizard->buttons.empty();
                },
                kStartTimeoutMs)) {
            error_ = "no settled wizard in the snapshot: " + LastSnapshotText();
        }
        return;
    }
    if (!WaitFor([](const Snapshot& s) { return s.window && s.Find(kExit) != nullptr; },
                 kStartTimeoutMs)) {
        error_ = "no main window in the snapshot " + snapshot_.string() + " after " +
                 std::to_string(kStartTimeoutMs) + " ms";
        return;
    }
    // Now and then, on a busy machine, openbox never frames a window mapped
    // just then (the snapshot has it at the screen's top edge, unframed, and
    // wmctrl does not list it). Mapped again, it is managed.
    const auto listed = [&] {
        return x_.Run({"wmctrl", "-l"}).output.find(kTitle) != std::string::npos;
    };
    for (int nudge = 0; !PollUntil(listed, kStartTimeoutMs / 4); ++nudge) {
        if (nudge == 3) {
            error_ = "the window manager does not list \"" + std::string(kTitle) + "\"";
            return;
        }
        std::cout << "[ x11 ] the window manager does not list the main window: mapped again\n";
        (void)x_.Run(
            {"xdotool", "search", "--name", std::string("^") + kTitle, "windowunmap", "windowmap"});
    }
    // The window manager frames and places the window after mapping it: the
    // tests start from the settled frame.
    if (!WaitFor(
            [](const Snapshot& s) {
                const Control* exit = s.Find(kExit);
                return s.window && s.window->w > 100 && s.window->h > 100 && exit != nullptr &&
                       exit->rect.Inside(*s.window);
            },
            kStartTimeoutMs)) {
        error_ = "the main window did not settle on the screen: " + LastSnapshotText();
    }
}

Grubbler::~Grubbler() {
    process_->Stop();
}

Snapshot Grubbler::Current() {
    std::error_code ec;
    if (!fs::exists(snapshot_, ec)) {
        lastText_.clear();
        return {};
    }
    lastText_ = ReadFile(snapshot_);
    std::string error;
    std::optional<Snapshot> parsed = ParseSnapshot(lastText_, &error);
    if (!parsed) {
        EXPECT_TRUE(reportedBadSnapshot_)
            << "the program wrote a snapshot this harness cannot read, " << error;
        reportedBadSnapshot_ = true;
        return {};
    }
    return *parsed;
}

bool Grubbler::WaitFor(const std::function<bool(const Snapshot&)>& condition, int timeoutMs) {
    bool met = false;
    PollUntil(
        [&] {
            const bool ended = process_->Wait(0).has_value();
            met = condition(Current());
            return met || ended;
        },
        timeoutMs);
    return met;
}

bool Grubbler::Click(int id, int times) {
    Rect at;
    if (!WaitFor(
            [&](const Snapshot& s) {
                const Control* c = s.Find(id);
                if (c != nullptr) {
                    at = c->rect;
                }
                return c != nullptr && c->enabled;
            },
            10000)) {
        ADD_FAILURE() << "no enabled control id" << id << " to click; snapshot:\n" << lastText_;
        return false;
    }
    return x_.Run({"xdotool", "mousemove", std::to_string(at.CentreX()),
                   std::to_string(at.CentreY()), "click", "--repeat", std::to_string(times),
                   "--delay", "80", "1"})
               .status == 0;
}

bool Grubbler::ClickToExit(int id) {
    // Now and then Xvfb and openbox lose a synthetic click on the main window
    // (the button shows the pointer over it, the program idles and never saw
    // the press). Only a click the program provably did not get is repeated:
    // one that started the exit, however slow, is waited for.
    for (int attempt = 1; attempt <= 3; ++attempt) {
        if (!Click(id)) {
            return false;
        }
        if (EndsWithin(0) || WaitFor([](const Snapshot& s) { return s.leaving; }, 3000) ||
            EndsWithin(0)) {
            return true;
        }
        std::cout << "[ x11 ] click " << attempt << " on id" << id
                  << " never reached the program; clicking again\n";
    }
    return true;  // ExpectNormalExit reports the program that did not end
}

bool Grubbler::ClickButtonOf(std::string_view toplevel, std::string_view label) {
    Rect at;
    if (!WaitFor(
            [&](const Snapshot& s) {
                const TopLevel* top = s.FindTopLevel(toplevel);
                for (const Button& b : top != nullptr ? top->buttons : std::vector<Button>{}) {
                    if (WithoutAmpersands(b.label) == WithoutAmpersands(label)) {
                        at = b.rect;
                        return true;
                    }
                }
                return false;
            },
            10000)) {
        ADD_FAILURE() << "no button \"" << label << "\" in \"" << toplevel << "\"; snapshot:\n"
                      << lastText_;
        return false;
    }
    return x_.Run({"xdotool", "mousemove", std::to_string(at.CentreX()),
                   std::to_string(at.CentreY()), "click", "1"})
               .status == 0;
}

bool Grubbler::Focus() {
    const bool focused = PollUntil(
        [&] {
            (void)x_.Run({"wmctrl", "-a", kTitle});
            return x_.Run({"xdotool", "getactivewindow", "getwindowname"}).output.find(kTitle) !=
                   std::string::npos;
        },
        5000);
    EXPECT_TRUE(focused) << "the main window did not get the focus";
    // A key that comes while the window manager is still busy with the
    // window (placing or activating it) can be lost: wait until the active
    // window and its place read the same twice in a row.
    std::string last;
    (void)PollUntil(
        [&] {
            const std::string now =
                x_.Run({"xdotool", "getactivewindow", "getwindowgeometry"}).output;
            const bool same = !now.empty() && now == last;
            last = now;
            return same;
        },
        3000);
    return focused;
}

bool Grubbler::Key(const std::string& keys) {
    return x_.Run({"xdotool", "key", "--clearmodifiers", keys}).status == 0;
}

bool Grubbler::CloseBox() {
    return x_.Run({"wmctrl", "-c", " Web Grubbler"}).status == 0;
}

bool Grubbler::Type(const std::string& text) {
    return x_.Run({"xdotool", "type", "--delay", "20", text}, 30000).status == 0;
}

std::optional<ExitStatus> Grubbler::WaitExit(int timeoutMs) {
    std::optional<ExitStatus> status = process_->Wait(timeoutMs);
    if (!status) {
        static int shots = 0;
        const fs::path png = dir_ / ("still-running-" + std::to_string(++shots) + ".png");
        std::cout << "[ x11 ] program still running after " << timeoutMs << " ms; screenshot "
                  << (x_.Screenshot(png) ? png.string() : "failed") << "\n";
        process_->Stop();
    }
    return status;
}

std::string Grubbler::Log() const {
    return "---- webgrubbler stdout+stderr (" + log_.string() + ") ----\n" + ReadFile(log_) +
           "\n---- last snapshot ----\n" + lastText_;
}

// ---- The test fixture ----

X11Test::X11Test() {
    std::string pattern = (fs::temp_directory_path() / "wg-x11-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) {
        dir_ = pattern;
    }
}

X11Test::~X11Test() {
    program_.reset();
    x_.reset();
    std::error_code ec;
    if (!dir_.empty() && !HasFailure()) {
        fs::remove_all(dir_, ec);
    }
}

void X11Test::SetUp() {
    ASSERT_FALSE(dir_.empty()) << "no temporary directory";
    x_ = std::make_unique<XSession>(dir_ / "x");
    ASSERT_EQ(x_->Error(), "");
}

void X11Test::TearDown() {
    if (HasFailure()) {
        if (program_ != nullptr) {
            std::cout << program_->Log() << "\n";
        }
        if (x_ != nullptr) {
            std::cout << x_->Logs() << "\n";
        }
        std::cout << "[ x11 ] kept " << dir_.string() << "\n";
    }
    program_.reset();
    x_.reset();
}

Grubbler* X11Test::Start(ProgramOptions options) {
    program_ = std::make_unique<Grubbler>(*x_, dir_, options);
    if (!program_->Error().empty()) {
        ADD_FAILURE() << program_->Error();
        return nullptr;
    }
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(program_->Home(), ec)) {
        if (entry.path().extension() == ".ini") {
            settingsAtStart_[entry.path().filename().string()] = entry.last_write_time(ec);
        }
    }
    return program_.get();
}

void X11Test::ExpectNormalExit(int timeoutMs, const std::string& settingsFile) {
    const auto start = Clock::now();
    const std::optional<ExitStatus> status = program_->WaitExit(timeoutMs);
    ASSERT_TRUE(status.has_value()) << "the program did not end within " << timeoutMs << " ms";
    std::cout << "[ x11 ] program ended "
              << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count()
              << " ms after the action\n";
    EXPECT_EQ(*status, kExitedZero);
    const fs::path settings = program_->Home() / settingsFile;
    std::error_code ec;
    const fs::file_time_type written = fs::last_write_time(settings, ec);
    EXPECT_FALSE(ec) << settings << " was not written";
    const auto before = settingsAtStart_.find(settingsFile);
    EXPECT_TRUE(ec || before == settingsAtStart_.end() || written != before->second)
        << settings << " was not written again at the exit";
}

fs::path ScreenshotDir() {
    const fs::path dir = fs::path(WG_BUILD_DIR) / "screenshots";
    fs::create_directories(dir);
    return dir;
}

}  // namespace wg::x11
