#include "util/timing.h"

namespace wg {

namespace {
Timing g_timing;
}

const Timing& CurrentTiming() {
    return g_timing;
}

void SetTiming(const Timing& timing) {
    g_timing = timing;
}

}  // namespace wg
