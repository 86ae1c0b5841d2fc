// The App's calls into the stored files: settings, state and download history.
#include "app/app.h"

namespace wg {

bool App::ReadSettingsFile() {
    return LoadSettings();
}

void App::LoadStateAtStart() {}

void App::LoadHistoryAtStart() {}

void App::SaveStateAtExit() {}

void App::SaveHistoryAtExit() {}

void App::SavePeriodicState() {}

}  // namespace wg
