#include "app/update_check.h"
#include "app/crawl_control.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "app/app.h"
#include "app/crawl_state_file.h"
#include "app/update_fetch.h"
#include "net/http_connection.h"
#include "platform/clock.h"
#include "platform/error_text.h"
#include "platform/files.h"
#include "platform/process.h"
#include "util/timing.h"

namespace wg {

namespace {

constexpr const char* kSearching = "Searching for update...";
constexpr const char* kFailedSite = "Failed to connect to update site.";
constexpr const char* kRetrying = "Failed to connect. Retrying...";
constexpr const char* kCannotConnect = "Cannot connect to server. Please try again later.";
constexpr const char* kNoNewer = "No newer version found.";
constexpr const char* kLatest = "You have the latest version.";
constexpr const char* kDownloading = "Downloading update...";
constexpr const char* kFinished = "Finished Downloading New Version.";
constexpr const char* kNothingInstalled = " Nothing was installed.";

constexpr const char* kUpdatePath = "Grubbler";
constexpr const char* kStaticVersion = "Version1.txt";
constexpr const char* kProgramName = "WebGrubbler.dl";
constexpr const char* kDigestName = "WebGrubbler.dl.sha256";
constexpr const char* kDocuments[] = {"Changes.txt", "ReadMe.html", "License.html"};

// Workers take no new work while the version is asked for; the hold ends
// with the scope, whatever way the check ends.
class HoldWork {
public:
    explicit HoldWork(App& app) : app_(app), before_(app.State().HoldWorkAndTell()) {}
    ~HoldWork() { app_.State().SetWorkHeld(before_); }
    HoldWork(const HoldWork&) = delete;
    HoldWork& operator=(const HoldWork&) = delete;

private:
    App& app_;
    bool before_;
};

FetchOptions OptionsFor(const App& app, const UpdateSetup& setup) {
    FetchOptions options;
    options.userAgent = app.Settings().userAgent.Get();
    options.headerTimeoutMs = setup.headerTimeoutMs;
    options.minBodyRate = setup.minBodyRate;
    return options;
}

class UpdateCheck {
public:
    UpdateCheck(App& app, const UpdateSetup& setup)
        : app_(app),
          setup_(setup),
          env_(OptionsFor(app, setup),
               [&app, deadline = platform::SteadyMilliseconds() +
                                 static_cast<std::uint64_t>(setup.budgetMs)] {
                   return app.State().WorkersStopping() || app.State().ExitRequested() ||
                          platform::SteadyMilliseconds() > deadline;
               }) {}

    void Run();

private:
    void Status(const std::string& text) { app_.ShowStatus(text); }
    void Pump() { app_.Port().ProcessMessages(); }

    template <typename Work>
    auto OnOwnThread(Work work) {
        decltype(work()) result{};
        RunWhilePumping([&] { result = work(); }, [this] { Pump(); });
        return result;
    }

    // A new connection to server `index`; false when its name does not resolve.
    bool OpenServer(std::size_t index);
    bool ConnectWithTries();
    UpdateFetchResult FetchText(const std::string& name);
    std::optional<double> AskVersion();
    void FetchAndInstall();
    void FetchDocuments();
    void WindDown();

    App& app_;
    const UpdateSetup& setup_;
    UpdateFetchEnvironment env_;
    std::unique_ptr<HttpConnection> connection_;
    std::size_t server_ = 0;  // the server in use: its name resolved
};

bool UpdateCheck::OpenServer(std::size_t index) {
    connection_ = std::make_unique<HttpConnection>();
    connection_->timing = app_.Timings();
    const platform::HostPort& server = setup_.servers[index];
    HttpConnection& c = *connection_;
    OnOwnThread([&] {
        c.Open(server.host, server.port, kUpdatePath, false);
        return 0;
    });
    return !c.dnsFailed;
}

bool UpdateCheck::ConnectWithTries() {
    for (int attempt = 1;; ++attempt) {
        HttpConnection& c = *connection_;
        if (OnOwnThread([&] { return c.Connect(c.timing.connectTimeoutMs); })) {
            return true;
        }
        c.Close();
        Pump();
        if (attempt >= setup_.connectTries || env_.StopRequested()) {
            Status(kCannotConnect);
            return false;
        }
        Status(kRetrying);
        OnOwnThread([this] {
            platform::SleepMs(setup_.retryPauseMs);
            return 0;
        });
        (void)HttpConnection::CheckDialUp();
        app_.AppendStatus(".");
    }
}

UpdateFetchResult UpdateCheck::FetchText(const std::string& name) {
    HttpConnection& c = *connection_;
    return OnOwnThread([&] { return FetchUpdateText(c, env_, name, setup_.textLimit); });
}

std::optional<double> UpdateCheck::AskVersion() {
    char query[96];
    (void)std::snprintf(query, sizeof query, "Version1.php?r=%d&v=%0.2f",
                        static_cast<int>(platform::SteadyMilliseconds() % 1000000),
                        setup_.ownVersion);
    UpdateFetchResult answer;
    {
        HoldWork hold(app_);
        answer = FetchText(query);
        // A connection that broke is made again for one more try.
        if (answer.end == UpdateFetchEnd::Unusable && OpenServer(server_)) {
            answer = FetchText(query);
        }
    }
    if (answer.end == UpdateFetchEnd::Unusable) {
        return std::nullopt;
    }
    std::optional<double> version = ParseVersionText(answer.body);
    if (version) {
        return version;
    }
    // An error page or no answer: the static file instead.
    HoldWork hold(app_);
    if (!OpenServer(server_)) {
        return std::nullopt;
    }
    answer = FetchText(kStaticVersion);
    return ParseVersionText(answer.body);
}

void UpdateCheck::Run() {
    Status(kSearching);
    if (setup_.servers.empty()) {
        Status(kFailedSite);
        return;
    }
    bool resolved = OpenServer(0);
    if (!resolved && setup_.servers.size() > 1) {
        server_ = 1;
        resolved = OpenServer(server_);
    }
    Pump();
    if (!resolved) {
        Status(kFailedSite);
        return;
    }
    if (!ConnectWithTries()) {
        return;
    }
    const std::optional<double> offered = AskVersion();
    if (!offered) {
        Status(kNoNewer);
        return;
    }
    if (!IsNewerVersion(*offered, setup_.ownVersion)) {
        Status(kLatest);
        return;
    }
    const std::filesystem::path dir = setup_.program.current.parent_path();
    if (setup_.program.current.empty() || platform::DirectoryWritable(dir) != 0) {
        Status("Version " + VersionLabel(*offered) +
               " is available, but the installed program in " + dir.string() +
               " cannot be replaced from here: update it the way it was installed.");
        return;
    }
    FetchAndInstall();
}

void UpdateCheck::FetchAndInstall() {
    Status(kDownloading);
    const UpdateFetchResult digestAnswer = FetchText(kDigestName);
    if (digestAnswer.end == UpdateFetchEnd::Unusable) {
        Status(kNoNewer);
        return;
    }
    if (digestAnswer.end != UpdateFetchEnd::Complete) {
        Status(std::string("The update's checksum (") + kDigestName + ") could not be fetched." +
               kNothingInstalled);
        return;
    }
    const std::optional<Sha256Digest> digest = ParseDigestText(digestAnswer.body);
    if (!digest) {
        Status(std::string("The update's checksum (") + kDigestName + ") is not valid." +
               kNothingInstalled);
        return;
    }
    HttpConnection& c = *connection_;
    const UpdateFetchResult program = OnOwnThread([&] {
        return FetchUpdateFile(c, env_, kProgramName, setup_.program.staged, setup_.programLimit,
                               digest);
    });
    std::string why;
    switch (program.end) {
        case UpdateFetchEnd::Unusable:
        case UpdateFetchEnd::Refused:  // the server has no program to give
            Status(kNoNewer);
            return;
        case UpdateFetchEnd::Complete:
            break;
        case UpdateFetchEnd::Mismatch:
            why = "The downloaded update does not match its published checksum.";
            break;
        case UpdateFetchEnd::TooLarge:
            why = "The downloaded update is larger than a program can be.";
            break;
        case UpdateFetchEnd::WriteFailed:
            why = "The update could not be saved: " + platform::ErrorText(program.error) + ".";
            break;
        case UpdateFetchEnd::Cut:
            why = "The update download was incomplete.";
            break;
    }
    if (program.end == UpdateFetchEnd::Complete) {
        if (const int error = platform::MakeExecutable(setup_.program.staged); error != 0) {
            (void)platform::ForceDelete(setup_.program.staged);
            why = "The update could not be made executable: " + platform::ErrorText(error) + ".";
        }
    }
    if (!why.empty()) {
        Status(why + kNothingInstalled);
        return;
    }
    app_.State().SetUpdatePending(true);
    // The program is ending already: it hands the update over as it ends.
    if (env_.StopRequested()) {
        Status(kFinished);
        return;
    }
    FetchDocuments();
    Status(kFinished);
    WindDown();
}

void UpdateCheck::FetchDocuments() {
    for (const char* name : kDocuments) {
        HttpConnection& c = *connection_;
        (void)OnOwnThread([&] {
            return FetchUpdateFile(c, env_, name, setup_.documentsDir / name, setup_.documentLimit);
        });
    }
}

void UpdateCheck::WindDown() {
    const QueueCounts queued = app_.Queues().Counts();
    if (queued.pages != 0 || queued.files != 0) {
        (void)app_.StateFile().Save(false);
    }
    if (queued.files != 0) {
        app_.Control().SetExitAfterThisDownload(true);
    } else {
        app_.Control().RequestExit();
    }
}

}  // namespace

UpdateSetup DefaultUpdateSetup(const App& app) {
    UpdateSetup setup;
    setup.servers = platform::UpdateHosts();
    const std::filesystem::path binary = platform::RunningProgramPath();
    if (!binary.empty()) {
        setup.program = ProgramFilesOf(binary);
    }
    setup.documentsDir = app.Paths().programDir;
    return setup;
}

void CheckForUpdate(App& app, const UpdateSetup& setup) {
    if (!app.State().BeginUpdateCheck()) {
        return;
    }
    {
        UpdateCheck check(app, setup);
        check.Run();
    }
    app.State().EndUpdateCheck();
}

}  // namespace wg
