// One search of the duplicate-file finder run on a thread of its own, for a
// window that must keep repainting: the window starts a search (or the
// deletion of its duplicates), asks for a stop, and pulls what the finder
// reported since its last look. The finder's threads never call the window.
#pragma once

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dupes/dupe_finder.h"

namespace wg {

// What the finder reported since the last Take.
struct DupeSearchReport {
    bool clearResults = false;         // empty the result list before adding `results`
    std::vector<std::string> results;  // new "%s & %s are identical" lines
    std::string status;                // the newest status text, empty: unchanged
    std::string counters;              // the newest counter text, empty: unchanged
    bool finished = false;             // the search or deletion has ended since the last Take
};

class DupeSearchSession {
public:
    DupeSearchSession();
    ~DupeSearchSession();  // stops and waits for a running search
    DupeSearchSession(const DupeSearchSession&) = delete;
    DupeSearchSession& operator=(const DupeSearchSession&) = delete;

    // Starts a search of `root`. With `recursive` off the result list is
    // emptied after the scan. `log`, when not null, receives every result
    // line; it must stay open until the search has finished. False when busy.
    bool StartFind(const std::string& root, bool recursive, std::FILE* log);
    // Starts deleting the duplicates of the last search. False when busy.
    bool StartDelete();

    // "Stop": the search ends between files. "Close": also no compare and no
    // completion text. Both may be called at any time.
    void Stop();
    void Close();

    // A search or deletion is running (its thread has not been collected).
    bool Busy() const { return thread_.joinable(); }

    // What was reported since the last call; collects the thread when it ended.
    DupeSearchReport Take();

    // Of the last search, valid while not busy.
    const std::vector<DupeCandidate>& Candidates() const { return finder_.Candidates(); }
    int DuplicatesFound() const { return finder_.DuplicatesFound(); }
    // False when the root of the last search could not be read at all.
    bool RootListed() const { return rootListed_; }
    int Deleted() const { return deleted_; }

private:
    template <typename Work>
    bool Launch(Work work);
    void PassStopOn();

    DupeFinder finder_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> close_{false};
    std::atomic<bool> done_{false};
    bool recursive_ = false;
    bool rootListed_ = true;
    int deleted_ = 0;

    std::mutex mutex_;  // the report below
    DupeSearchReport pending_;
};

}  // namespace wg
