// The App's calls into the stored files: settings, state, download history
// and cookies.
#include "app/app.h"
#include "app/crawl_state_file.h"
#include "app/option_files.h"
#include "platform/files.h"

namespace wg {

bool App::ReadSettingsFile() {
    return optionFiles_->LoadSettings();
}

void App::LoadStateAtStart() {
    stateFile_->Load(false);
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
    (void)stateFile_->Save(true);
}

void App::SaveHistoryAtExit() {
    SaveHistory();
}

void App::SavePeriodicState() {
    (void)stateFile_->Save(false);
}

}  // namespace wg
