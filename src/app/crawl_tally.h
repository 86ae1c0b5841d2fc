// What a crawl came to: pages scanned, files saved and their bytes, and the
// items that failed, by reason. Counted by the workers, read by the front
// ends for the closing summary and the exit status.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "net/transfer_slots.h"

namespace wg {

// One reading of the tally, with the time the crawl has run.
struct CrawlCounts {
    std::uint64_t pagesScanned = 0;
    std::uint64_t filesSaved = 0;
    std::uint64_t bytesSaved = 0;
    std::array<std::uint64_t, kFailureKindCount> failed{};
    std::uint64_t elapsedMs = 0;

    std::uint64_t FailedTotal() const;
    // Failures of what the user asked for: every reason but the user's own
    // size and type rules.
    std::uint64_t FailedAgainstTheUser() const;
};

class CrawlTally {
public:
    // Starts counting afresh; `nowMs` is the steady clock's reading.
    void Reset(std::uint64_t nowMs);
    void PageScanned() { pagesScanned_.fetch_add(1, std::memory_order_relaxed); }
    void FileSaved(std::uint64_t bytes);
    // `None` counts nothing.
    void Failed(FailureKind kind);
    CrawlCounts Read(std::uint64_t nowMs) const;

private:
    std::atomic<std::uint64_t> startMs_{0};
    std::atomic<std::uint64_t> pagesScanned_{0};
    std::atomic<std::uint64_t> filesSaved_{0};
    std::atomic<std::uint64_t> bytesSaved_{0};
    std::array<std::atomic<std::uint64_t>, kFailureKindCount> failed_{};
};

// The name of a failure reason in the summary ("HTTP status", "disk", ...).
const char* FailureKindName(FailureKind kind);

// "Summary: 3 pages scanned, 12 files saved (1.4 MB), 2 failed (HTTP status 1,
// disk 1), 4.2 s, 340.0 KB/s".
std::string FormatCrawlSummary(const CrawlCounts& counts);

// A byte count for people: "812 B", "14.0 KB", "1.4 MB", "2.1 GB".
std::string FormatByteCount(std::uint64_t bytes);

}  // namespace wg
