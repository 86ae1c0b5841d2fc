#include "crawl/crawl_queues.h"

namespace wg {

QueueCounts CrawlQueues::Counts() {
    QueueCounts counts;
    counts.pages = Pages()->Size();
    counts.files = Files()->Size();
    counts.visited = Visited()->Size();
    return counts;
}

bool CrawlQueues::HasQueuedWork() {
    return !Pages()->Empty() || !Files()->Empty();
}

}  // namespace wg
