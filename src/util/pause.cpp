#include "util/pause.h"

#include <mutex>
#include <thread>
#include <utility>

#include "platform/clock.h"

namespace wg {
namespace {

struct Pump {
    std::mutex mutex;
    std::thread::id owner;
    std::function<void()> call;
};

Pump& ThePump() {
    static Pump pump;
    return pump;
}

}  // namespace

void SetPauseMessagePump(std::function<void()> pump) {
    Pump& p = ThePump();
    std::lock_guard<std::mutex> lock(p.mutex);
    p.owner = std::this_thread::get_id();
    p.call = std::move(pump);
}

void PauseMs(int ms) {
    if (ms <= 0) {
        return;
    }
    std::function<void()> pump;
    if (ms > 700) {
        Pump& p = ThePump();
        std::lock_guard<std::mutex> lock(p.mutex);
        if (p.call && p.owner == std::this_thread::get_id()) {
            pump = p.call;
        }
    }
    if (!pump) {
        platform::SleepMs(ms);
        return;
    }
    const int slices = ms / 501 + 1;
    for (int i = 0; i < slices; ++i) {
        platform::SleepMs(ms / slices);
        pump();
    }
}

}  // namespace wg
