// The App's calls into the stored files: settings, state, download history
// and cookies.
#include "app/app.h"
#include "platform/files.h"

namespace wg {

bool App::ReadSettingsFile() {
    return LoadSettings();
}

void App::LoadStateAtStart() {
    LoadState(false);
}

void App::LoadHistoryAtStart() {
    LoadHistory();
}

void App::LoadCookies() {
    (void)cookies_.Load(paths_.programDir / kCookieFileName);
}

void App::SaveCookies() {
    const std::filesystem::path file = paths_.programDir / kCookieFileName;
    if (cookies_.Size() != 0 || platform::FileExists(file)) {
        (void)cookies_.Save(file);
    }
}

void App::SaveStateAtExit() {
    (void)SaveState(true);
}

void App::SaveHistoryAtExit() {
    SaveHistory();
}

void App::SavePeriodicState() {
    (void)SaveState(false);
}

}  // namespace wg
