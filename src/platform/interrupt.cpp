#include "platform/interrupt.h"

#include <atomic>
#include <csignal>

namespace wg::platform {

namespace {

// The handler may run on any thread while the main thread polls, so the
// counter is a lock-free atomic (safe to touch from a signal handler).
std::atomic<int> g_interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnInterrupt(int /*signal*/) {
    g_interrupts.fetch_add(1, std::memory_order_relaxed);
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

void IgnoreBrokenPipe() {
    struct sigaction sa {};
    sa.sa_handler = SIG_IGN;
    sigemptyset(&sa.sa_mask);
    (void)sigaction(SIGPIPE, &sa, nullptr);
}

void IgnoreFileSizeLimitSignal() {
    struct sigaction sa {};
    sa.sa_handler = SIG_IGN;
    sigemptyset(&sa.sa_mask);
    (void)sigaction(SIGXFSZ, &sa, nullptr);
}

bool InterruptRequested() {
    return g_interrupts.load(std::memory_order_relaxed) != 0;
}

int InterruptCount() {
    return g_interrupts.load(std::memory_order_relaxed);
}

void ClearInterrupt() {
    g_interrupts.store(0, std::memory_order_relaxed);
}

}  // namespace wg::platform
