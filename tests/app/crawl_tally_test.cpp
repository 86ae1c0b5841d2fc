#include "app/crawl_tally.h"

#include <gtest/gtest.h>

namespace wg::test {
namespace {

CrawlCounts Counts(std::uint64_t pages, std::uint64_t files, std::uint64_t bytes,
                   std::uint64_t ms) {
    CrawlCounts c;
    c.pagesScanned = pages;
    c.filesSaved = files;
    c.bytesSaved = bytes;
    c.elapsedMs = ms;
    return c;
}

TEST(CrawlSummary, NamesEveryReasonThatFailedAndTheRate) {
    CrawlCounts failing = Counts(3, 12, 1468006, 4200);
    failing.failed[static_cast<std::size_t>(FailureKind::HttpStatus)] = 2;
    failing.failed[static_cast<std::size_t>(FailureKind::Disk)] = 1;
    CrawlCounts refusedOnly = Counts(0, 0, 0, 0);
    refusedOnly.failed[static_cast<std::size_t>(FailureKind::Refused)] = 4;
    const struct {
        CrawlCounts counts;
        const char* text;
        std::uint64_t againstTheUser;
    } cases[] = {
        {Counts(1, 1, 812, 1000),
         "Summary: 1 page scanned, 1 file saved (812 B), none failed, "
         "1.0 s, 812 B/s",
         0},
        {failing,
         "Summary: 3 pages scanned, 12 files saved (1.4 MB), 3 failed (HTTP status 2, "
         "disk 1), 4.2 s, 341.3 KB/s",
         3},
        // The user's own size and type rules are counted, not held against the crawl.
        {refusedOnly,
         "Summary: 0 pages scanned, 0 files saved (0 B), 4 failed (refused by size "
         "or type 4), 0.0 s, 0 B/s",
         0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatCrawlSummary(c.counts), c.text);
        EXPECT_EQ(c.counts.FailedAgainstTheUser(), c.againstTheUser) << c.text;
    }
}

}  // namespace
}  // namespace wg::test
