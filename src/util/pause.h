// Pauses of worker and main threads. A long pause on the thread that runs the
// window keeps the window answering: it sleeps in slices and lets pending
// messages through after each.
#pragma once

#include <functional>

namespace wg {

// Sleeps `ms` milliseconds. Longer than 700 ms on the thread that registered a
// message pump: ms / 501 + 1 equal slices, the pump called after each.
void PauseMs(int ms);

// Registers the calling thread's message pump (empty to remove it).
void SetPauseMessagePump(std::function<void()> pump);

}  // namespace wg
