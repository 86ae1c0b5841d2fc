#include "app/app.h"
#include "platform/clock.h"

namespace wg {

void App::SetShowLastImage(bool on) {
    settings_.showLastImage.store(on);
    if (!on) {
        port_.ShowNewestImage(std::string());
        return;
    }
    if (lastFiles_.ShowAgainAfter(3000)) {
        platform::SleepMs(50);
        run_.SetNewImageRequest(true);
    }
}

}  // namespace wg
