#include "crawl/worker_wakeups.h"

#include <chrono>

namespace wg {

void WorkerWakeups::WakeAll() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++generation_;
    }
    for (auto& idle : idle_) {
        idle.notify_all();
    }
}

void WorkerWakeups::WakeOne(WorkerKind kind) {
    const auto k = static_cast<std::size_t>(kind);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++queued_[k];
    }
    idle_[k].notify_one();
}

std::uint64_t WorkerWakeups::Mark(WorkerKind kind) {
    std::lock_guard<std::mutex> lock(mutex_);
    return queued_[static_cast<std::size_t>(kind)];
}

void WorkerWakeups::IdleWait(WorkerKind kind, std::uint64_t mark, int ms) {
    const auto k = static_cast<std::size_t>(kind);
    std::unique_lock<std::mutex> lock(mutex_);
    const std::uint64_t generation = generation_;
    idle_[k].wait_for(lock, std::chrono::milliseconds(ms),
                      [&] { return generation_ != generation || queued_[k] != mark; });
}

void WorkerWakeups::Announce(const std::function<void()>& set) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        set();
    }
    announced_.notify_all();
}

void WorkerWakeups::WaitUntil(const std::function<bool()>& done, int ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    announced_.wait_for(lock, std::chrono::milliseconds(ms), done);
}

}  // namespace wg
