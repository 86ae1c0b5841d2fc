// The App's calls into the stored files: settings, state and download history.
#include "app/app.h"

namespace wg {

bool App::ReadSettingsFile() {
    // No settings reader is linked into this build yet: the start values stay.
    return false;
}

void App::LoadStateAtStart() {}

void App::LoadHistoryAtStart() {}

void App::SaveStateAtExit() {}

void App::SaveHistoryAtExit() {}

void App::SavePeriodicState() {}

}  // namespace wg
