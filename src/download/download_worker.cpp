#include "download/download_worker.h"

namespace wg {

void RunDownloadWorker(DownloadWorkerContext& context) {
    const int slot = context.Begin();
    if (slot < 0) {
        return;
    }
    bool previousSucceeded = true;
    while (!context.Run().WorkersStopping()) {
        const std::uint64_t mark = context.Wakeups().Mark(WorkerKind::Download);
        const std::optional<std::string> url = context.TakeNextDownload(slot);
        if (!url) {
            context.Wakeups().IdleWait(WorkerKind::Download, mark, context.IdleMs());
            continue;
        }
        if (context.HandPageToPageWorker(slot, *url)) {
            context.ItemFinished(slot);
            continue;
        }
        context.ItemStarted(previousSucceeded ? &*url : nullptr);
        previousSucceeded = context.Download(slot, *url);
        context.ItemFinished(slot);
    }
    context.End(slot);
}

}  // namespace wg
