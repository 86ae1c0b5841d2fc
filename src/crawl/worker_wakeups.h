// How idle workers wait: on a condition of their kind, woken by one queued
// item (one worker) or by a change that concerns them all (stop, pause, exit,
// a changed limit). A mark taken before a worker looks into its queue makes
// an item queued after the look end the worker's next wait at once, so no
// wake-up is lost between the look and the wait.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace wg {

enum class WorkerKind { Page = 0, Download = 1 };

class WorkerWakeups {
public:
    // Wakes every idle worker at once.
    void WakeAll();
    // One item was queued: wakes one idle worker of that kind.
    void WakeOne(WorkerKind kind);
    // The work queued so far, taken before the worker looks into its queue.
    std::uint64_t Mark(WorkerKind kind);
    // Sleeps up to `ms`, returning early when woken or when work came after `mark`.
    void IdleWait(WorkerKind kind, std::uint64_t mark, int ms);

    // Runs `set` under the lock the waits of WaitUntil use, then wakes them:
    // a condition that `set` makes true is seen by the next look.
    void Announce(const std::function<void()>& set);
    // Waits up to `ms` for `done` (looked at under the same lock).
    void WaitUntil(const std::function<bool()>& done, int ms);

private:
    std::mutex mutex_;
    std::array<std::condition_variable, 2> idle_;  // by WorkerKind
    std::uint64_t generation_ = 0;                 // raised by WakeAll
    std::array<std::uint64_t, 2> queued_{};        // raised by WakeOne
    std::condition_variable announced_;
};

}  // namespace wg
