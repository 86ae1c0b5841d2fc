// The user's commands over a running crawl: stop, pause and resume, the
// exit-after choices, and the request to end the program.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace wg {

class App;
struct AppParts;

class CrawlControl {
public:
    CrawlControl(App& app, AppParts& parts) : app_(app), parts_(&parts) {}

    void RequestExit();
    void ExitNow();
    void Stop(bool clearVisited);
    void StopAll();
    void StopWithAbort(bool abort);
    void ResumeAfterStop();
    void SetExitAfterThisDownload(bool flag);
    void SetExitAfterLastDownload(bool flag);
    void SetPauseAfterDownloads(bool flag);
    void PauseWhenDownloadsEmpty();
    void ToggleStopAddingHistory();
    void TogglePause();

private:
    // Waits a moment for the workers to end a Stop.
    void WaitForStopEnd();

    App& app_;
    AppParts* parts_;
};

}  // namespace wg
