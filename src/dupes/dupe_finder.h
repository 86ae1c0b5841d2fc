// The duplicate-file finder behind the "Find Duplicate Files" dialog and the
// console's find-duplicates command: it scans a directory tree, finds files
// whose bytes are all equal, lists every pair as "%s & %s are identical"
// (the copy found first is kept) and can delete the later copies.
//
// The scan keeps the first 176 bytes of every file. Files are grouped by size
// and by those bytes, and only files left in a group are read again, each
// once where possible, on up to two threads. A pair is reported only when
// the sizes and every byte are equal.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace wg {

// A count grouped by thousands: "%d", "%d,%03d", "%d,%03d,%03d" (2500000 -> "2,500,000").
std::string GroupedCount(std::uint64_t n);

inline constexpr std::size_t kDupeHeadBytes = 176;

class ContentComparer;

struct DupeCandidate {                                 // one per file scanned, in scan order
    std::string path;                                  // directory + '/' + name
    std::array<unsigned char, kDupeHeadBytes> head{};  // first bytes, zero-filled
    std::uint64_t size = 0;                            // from the directory entry
    std::int32_t dupOf = -1;  // index of the kept file when state == Duplicate
    enum class State : std::uint8_t { None, Kept, Duplicate, Deleted } state = State::None;
};

struct DupeFinderEvents {  // all optional; called on the thread that calls Find/DeleteDuplicates
    // " Searching %s...", " Compare Cancelled", the completion texts,
    // " Deleting Duplicate Files", " Finished Deleting Duplicates."
    std::function<void(std::string_view)> status;
    // " Files Scanned: 0", "Files Scanned: ...", "Files Compared: %s of %s",
    // "Duplicates Deleted: ..."; at most every 200 ms, and the final values.
    std::function<void(std::string_view)> counters;
    // One "%s & %s are identical" line (kept file, duplicate).
    std::function<void(std::string_view)> result;
    // Lets the windows process their pending messages.
    std::function<void()> pump;
    // After the scan, before the compare (the dialog empties its list here
    // when subdirectories are not searched).
    std::function<void()> scanned;
};

class DupeFinder {
public:
    explicit DupeFinder(DupeFinderEvents events = {});
    DupeFinder(const DupeFinder&) = delete;
    DupeFinder& operator=(const DupeFinder&) = delete;

    void SetSearchSubdirectories(bool on) { recursive_ = on; }
    // "results.log": every result line is also written there followed by
    // "\n\r". The caller opens and closes the file; null: no log.
    void SetResultsLog(std::FILE* log) { log_ = log; }

    // "Stop" and "Close": may be called from any thread or from a callback.
    // The search ends between files; workers end between blocks.
    void RequestStop() { stop_.store(true, std::memory_order_relaxed); }
    void RequestClose() {
        stop_.store(true, std::memory_order_relaxed);
        close_.store(true, std::memory_order_relaxed);
    }
    bool Closing() const { return close_.load(std::memory_order_relaxed); }

    // Scans `root` (its subdirectories too when asked) and compares, unless
    // stopped or closing. The candidates of an earlier search are dropped
    // first. False when `root` cannot be enumerated at all (nothing is
    // compared then).
    bool Find(const std::string& root);

    // Deletes every duplicate of the last search whose kept file is still
    // there and still byte-identical to it; returns how many were deleted.
    int DeleteDuplicates();

    const std::vector<DupeCandidate>& Candidates() const { return candidates_; }
    int DuplicatesFound() const { return duplicates_; }
    std::uint64_t FilesScanned() const { return scanned_; }

private:
    bool ScanDirectory(const std::string& dir);
    void ScanFile(const std::string& path, std::uint64_t size);
    void Compare();
    void Emit(const std::vector<std::vector<std::int32_t>>& classes);

    // Runs task(i) for i in [0, count) on worker threads while this thread
    // pumps and calls `tick`; tasks not started when `cancel` turns true are skipped.
    void RunTasks(std::size_t count, const std::function<bool()>& cancel,
                  const std::function<void(std::size_t, ContentComparer&)>& task,
                  const std::function<void()>& tick);

    bool Cancelled() const {
        return stop_.load(std::memory_order_relaxed) || close_.load(std::memory_order_relaxed);
    }
    void Status(std::string_view text);
    void Pump();
    bool CounterDue();  // true (and restarts the 200 ms wait) when a counter may be shown
    void ShowCounter(const std::string& text);

    DupeFinderEvents events_;
    bool recursive_ = false;
    std::FILE* log_ = nullptr;
    std::atomic<bool> stop_{false};
    std::atomic<bool> close_{false};
    std::vector<DupeCandidate> candidates_;
    std::vector<std::uint8_t> headRead_;  // per candidate: bytes read at the scan, 177 = more
    int duplicates_ = 0;
    std::uint64_t scanned_ = 0;
    std::uint64_t lastCounterMs_ = 0;
};

}  // namespace wg
