#include "dupes/dupe_search_session.h"
#include "platform/threads.h"

#include <utility>

namespace wg {

DupeSearchSession::DupeSearchSession()
    : finder_(DupeFinderEvents{
          .status =
              [this](std::string_view text) {
                  std::lock_guard<std::mutex> lock(mutex_);
                  pending_.status = text;
              },
          .counters =
              [this](std::string_view text) {
                  // The finder clears its stop flag as a search begins, and
                  // shows its first counter right after that.
                  PassStopOn();
                  std::lock_guard<std::mutex> lock(mutex_);
                  pending_.counters = text;
              },
          .result =
              [this](std::string_view line) {
                  std::lock_guard<std::mutex> lock(mutex_);
                  pending_.results.emplace_back(line);
              },
          .pump = [this] { PassStopOn(); },
          .scanned =
              [this] {
                  if (!recursive_) {
                      std::lock_guard<std::mutex> lock(mutex_);
                      pending_.results.clear();
                      pending_.clearResults = true;
                  }
              },
      }) {}

DupeSearchSession::~DupeSearchSession() {
    Close();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void DupeSearchSession::PassStopOn() {
    if (close_.load(std::memory_order_relaxed)) {
        finder_.RequestClose();
    } else if (stop_.load(std::memory_order_relaxed)) {
        finder_.RequestStop();
    }
}

template <typename Work>
bool DupeSearchSession::Launch(Work work) {
    if (thread_.joinable() || close_.load(std::memory_order_relaxed)) {
        return false;
    }
    stop_.store(false, std::memory_order_relaxed);
    done_.store(false, std::memory_order_release);
    thread_ = platform::StartThread("wg-find-dupes", [this, work = std::move(work)] {
        work();
        done_.store(true, std::memory_order_release);
    });
    return true;
}

bool DupeSearchSession::StartFind(const std::string& root, bool recursive, std::FILE* log) {
    if (thread_.joinable()) {
        return false;
    }
    recursive_ = recursive;
    finder_.SetSearchSubdirectories(recursive);
    finder_.SetResultsLog(log);
    return Launch([this, root] { rootListed_ = finder_.Find(root); });
}

bool DupeSearchSession::StartDelete() {
    return Launch([this] { deleted_ = finder_.DeleteDuplicates(); });
}

void DupeSearchSession::Stop() {
    stop_.store(true, std::memory_order_relaxed);
    finder_.RequestStop();
}

void DupeSearchSession::Close() {
    stop_.store(true, std::memory_order_relaxed);
    close_.store(true, std::memory_order_relaxed);
    finder_.RequestClose();
}

DupeSearchReport DupeSearchSession::Take() {
    const bool ended = thread_.joinable() && done_.load(std::memory_order_acquire);
    if (ended) {
        thread_.join();
    }
    DupeSearchReport report;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        report = std::exchange(pending_, DupeSearchReport{});
    }
    report.finished = ended;
    return report;
}

}  // namespace wg
