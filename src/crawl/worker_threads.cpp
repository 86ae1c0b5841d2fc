#include "crawl/worker_threads.h"

namespace wg {

void WorkerThreads::StartAt(WorkerKind kind, int handleSlot) {
    std::lock_guard<std::mutex> lock(mutex_);
    Handles& handles = handles_[static_cast<std::size_t>(kind)];
    const auto idx = static_cast<std::size_t>(handleSlot);
    if (handles.threads[idx].joinable()) {
        extraThreads_.push_back(std::move(handles.threads[idx]));
    }
    handles.ids[idx].store(0);
    handles.threads[idx] = starter_(kind, &handles.ids[idx]);
}

void WorkerThreads::StartExtra(WorkerKind kind, int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (int i = 0; i < count; ++i) {
        extraIds_.emplace_back(0);
        extraKinds_.push_back(kind);
        extraThreads_.push_back(starter_(kind, &extraIds_.back()));
    }
}

void WorkerThreads::ForEachId(const std::function<void(int id, WorkerKind kind)>& visit) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const WorkerKind kind : {WorkerKind::Page, WorkerKind::Download}) {
        for (const std::atomic<int>& id : handles_[static_cast<std::size_t>(kind)].ids) {
            if (const int value = id.load(); value != 0) {
                visit(value, kind);
            }
        }
    }
    for (std::size_t i = 0; i < extraIds_.size(); ++i) {
        if (const int value = extraIds_[i].load(); value != 0) {
            visit(value, extraKinds_[i]);
        }
    }
}

void WorkerThreads::JoinAll() {
    std::vector<std::thread> toJoin;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (Handles& handles : handles_) {
            for (std::thread& thread : handles.threads) {
                if (thread.joinable()) {
                    toJoin.push_back(std::move(thread));
                }
            }
        }
        for (std::thread& thread : extraThreads_) {
            toJoin.push_back(std::move(thread));
        }
        extraThreads_.clear();
    }
    for (std::thread& thread : toJoin) {
        if (thread.joinable()) {
            thread.join();
        }
    }
}

}  // namespace wg
