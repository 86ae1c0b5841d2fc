#include "crawl/page_worker.h"

namespace wg {

void RunPageWorker(PageWorkerContext& context) {
    const int slot = context.Begin();
    if (slot < 0) {
        return;
    }
    const RunState& run = context.Run();
    while (!run.WorkersStopping()) {
        const std::uint64_t mark = context.Wakeups().Mark(WorkerKind::Page);
        bool keepRecord = false;
        UrlRecordPtr record;
        if (context.WantsMorePages() && !run.WorkHeld() && !run.DiskFull() &&
            !run.PauseAfterDownloads()) {
            record = context.TakeNextPage(slot, keepRecord);
        }
        if (!record) {
            context.Wakeups().IdleWait(WorkerKind::Page, mark, context.IdleMs());
            continue;
        }
        context.ItemStarted(record->url);
        context.ProcessPage(slot, *record);
        context.ItemFinished(slot);
        if (keepRecord) {
            context.PageDone(*record);
        }
    }
    context.End(slot);
}

}  // namespace wg
