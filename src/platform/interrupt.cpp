#include "platform/interrupt.h"

#include <csignal>

namespace wg::platform {

namespace {

volatile std::sig_atomic_t g_interrupts = 0;

extern "C" void OnInterrupt(int /*signal*/) {
    g_interrupts = g_interrupts + 1;
}

}  // namespace

void InstallInterruptHandler() {
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;
    (void)sigaction(SIGINT, &sa, nullptr);
    (void)sigaction(SIGTERM, &sa, nullptr);
}

bool InterruptRequested() {
    return g_interrupts != 0;
}

int InterruptCount() {
    return static_cast<int>(g_interrupts);
}

void ClearInterrupt() {
    g_interrupts = 0;
}

}  // namespace wg::platform
