#include "app/app_parts.h"
#include "platform/clock.h"

namespace wg {

void App::SetShowLastImage(bool on) {
    parts_->settings.showLastImage.store(on);
    if (!on) {
        parts_->port.ShowNewestImage(std::string());
        return;
    }
    if (parts_->lastFiles.ShowAgainAfter(3000)) {
        platform::SleepMs(50);
        parts_->run.SetNewImageRequest(true);
    }
}

}  // namespace wg
