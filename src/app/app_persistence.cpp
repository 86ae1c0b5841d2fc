// The App's calls into the stored files: settings, state, download history
// and cookies.
#include "app/app_parts.h"
#include "app/crawl_state_file.h"
#include "app/crawl_work.h"
#include "app/option_files.h"
#include "platform/files.h"

namespace wg {

bool App::ReadSettingsFile() {
    return parts_->optionFiles->LoadSettings();
}

void App::LoadStateAtStart() {
    parts_->stateFile->Load(false);
}

void App::LoadHistoryAtStart() {
    Work().LoadHistory();
}

void App::LoadCookies() {
    (void)parts_->cookies.Load(parts_->paths.programDir / kCookieFileName);
}

void App::SaveCookies() {
    const std::filesystem::path file = parts_->paths.programDir / kCookieFileName;
    if (parts_->cookies.Size() != 0 || platform::FileExists(file)) {
        (void)parts_->cookies.Save(file);
    }
}

void App::SaveStateAtExit() {
    (void)parts_->stateFile->Save(true);
}

void App::SaveHistoryAtExit() {
    Work().SaveHistory();
}

void App::SavePeriodicState() {
    (void)parts_->stateFile->Save(false);
}

}  // namespace wg
