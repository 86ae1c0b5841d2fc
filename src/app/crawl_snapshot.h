// What a front end shows of a crawl at one moment: the queue lengths, the
// counters, the run switches and the "In Process" lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace wg {

struct CrawlSnapshot {
    std::size_t pagesQueued = 0;  // "Links To Grubble"
    std::size_t filesQueued = 0;  // "To Download"
    std::uint32_t inProcess = 0;
    std::uint32_t filesDownloaded = 0;
    std::uint32_t urlsScanned = 0;
    bool paused = false;
    bool exitAfterLastDownload = false;
    std::vector<std::string> inProcessLines;  // the status text of every busy slot
};

}  // namespace wg
