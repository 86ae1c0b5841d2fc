// The running counts of a crawl, read by the window's counters, the state
// file and the summary line; every one may be read from any thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace wg {

struct CrawlCounters {
    std::atomic<std::uint32_t> inProcessCount{0};
    std::atomic<std::uint32_t> filesDownloaded{0};
    std::atomic<std::uint32_t> urlsScanned{0};
    std::atomic<std::uint32_t> filesTaken{0};
    std::atomic<std::uint32_t> pagesTaken{0};
    // Pages in the visited list before this crawl began (a loaded state's,
    // an earlier crawl's); set by Go and by loading a state file.
    std::atomic<std::size_t> earlierVisits{0};
    // When the next periodic state save is due (steady milliseconds).
    std::atomic<std::uint64_t> nextPeriodicSave{0};
    // The last state save could not be written.
    std::atomic<bool> stateSaveFailed{false};
};

}  // namespace wg
