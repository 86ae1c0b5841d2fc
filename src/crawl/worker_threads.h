// The threads of a run's workers: one handle per worker slot of each kind,
// and the workers added beside them (a raised count, the exit-after
// options). Each worker notes its system id, so that a priority change
// reaches it once it runs.
#pragma once

#include <array>
#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "crawl/worker_wakeups.h"

namespace wg {

inline constexpr int kThreadHandleSlots = 33;

class WorkerThreads {
public:
    // Runs a worker of `kind` on a thread of its own; the worker stores its
    // system id in `threadId`.
    using Starter = std::function<std::thread(WorkerKind kind, std::atomic<int>* threadId)>;

    explicit WorkerThreads(Starter starter) : starter_(std::move(starter)) {}

    // Starts a worker at a handle slot (0 .. kThreadHandleSlots - 1). An
    // earlier worker there (perhaps still running after a lowered count)
    // keeps its thread until JoinAll.
    void StartAt(WorkerKind kind, int handleSlot);
    // Starts `count` more workers beside the handle slots.
    void StartExtra(WorkerKind kind, int count);
    // Calls `visit` with the system id of every worker that noted one.
    void ForEachId(const std::function<void(int id, WorkerKind kind)>& visit);
    // Waits for every thread started so far.
    void JoinAll();

private:
    struct Handles {
        std::array<std::thread, kThreadHandleSlots> threads;
        std::array<std::atomic<int>, kThreadHandleSlots> ids{};  // 0 = none yet
    };

    Starter starter_;
    std::mutex mutex_;                // everything below
    std::array<Handles, 2> handles_;  // by WorkerKind
    std::vector<std::thread> extraThreads_;
    std::deque<std::atomic<int>> extraIds_;
    std::deque<WorkerKind> extraKinds_;
};

}  // namespace wg
