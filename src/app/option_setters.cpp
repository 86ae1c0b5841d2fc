// The options whose change acts at once: worker counts and priority, the
// user agent, limits, the history check, logs, the preview, duplicates.
#include <algorithm>

#include "app/app_parts.h"
#include "app/crawl_work.h"
#include "app/option_setters.h"
#include "app/worker_pool.h"
#include "platform/clock.h"
#include "util/text.h"

namespace wg {

void OptionSetters::SetRuntimeDuplicateDetect(bool on) {
    if (parts_->settings.runtimeDuplicateDetect.load() != on) {
        parts_->settings.runtimeDuplicateDetect.store(on);
        parts_->dupes->MarkRebuild();
    }
}

void OptionSetters::SetShowLastImage(bool on) {
    parts_->settings.showLastImage.store(on);
    if (!on) {
        parts_->port.ShowNewestImage(std::string());
        return;
    }
    if (parts_->lastFiles.ShowAgainAfter(3000)) {
        platform::SleepMs(50);
        parts_->run.SetNewImageRequest(true);
    }
}

void OptionSetters::SetUrlErrorLogging(bool on) {
    parts_->settings.logUrlErrors.store(on);
    if (on) {
        (void)parts_->urlErrorLog.Open(UrlErrorLogDirectory(parts_->paths.stateFile.string()));
    } else {
        parts_->urlErrorLog.Close();
    }
}

void OptionSetters::SetUrlThreadCount(int count) {
    const int current = parts_->settings.numUrlThreads.load();
    // A count below none means none.
    count = std::clamp(count, 0, kMaxThreads);
    if (count == current) {
        return;
    }
    if (current > count) {
        parts_->port.Tell(
            "The change in the number of URL processing threads will\nnot take effect until Web "
            "Grubbler is restarted",
            "Notice", Icon::None);
    }
    parts_->settings.numUrlThreads.store(count);
    if (count > current && parts_->mainWindow && !parts_->run.WorkersStopping()) {
        // Handle slot 0 always holds the first page worker.
        for (int slot = std::max(current, 1); slot < count; ++slot) {
            parts_->threads.StartAt(WorkerKind::Page, slot);
        }
    }
}

void OptionSetters::SetDownloadThreadCount(int count) {
    const int current = parts_->settings.numDownloadThreads.load();
    if (count < 1 || count == current) {
        return;
    }
    count = std::min(count, kMaxThreads);
    if (current > count) {
        parts_->port.Tell(
            "The change in the number of Download Threads will\nnot take effect until Web "
            "Grubbler is restarted",
            "Notice", Icon::Information);
    }
    parts_->settings.numDownloadThreads.store(count);
    if (count > current && parts_->mainWindow && !parts_->run.WorkersStopping()) {
        for (int slot = std::max(current, 1); slot < count; ++slot) {
            parts_->threads.StartAt(WorkerKind::Download, slot);
        }
    }
}

void OptionSetters::SetThreadPriority(int priority) {
    if (priority == parts_->settings.priority.load()) {
        return;
    }
    parts_->settings.priority.store(priority);
    app_.Workers().ApplyPriority(priority);
}

void OptionSetters::SetUserAgent(std::string_view text) {
    parts_->settings.userAgent.Set(CopyBounded(text, kPathCapacity));
}

void OptionSetters::SetMinDownloadQueue(int count) {
    if (count != 0) {
        parts_->settings.minDownloadQueue.store(count);
        app_.Workers().WakeWorkers();
    }
}

void OptionSetters::SetMaxFileSize(int size) {
    if (size != 0 && size <= parts_->settings.minFileSize.load()) {
        return;
    }
    parts_->settings.maxFileSize.store(size);
}

void OptionSetters::SetPeriodicSave(bool on) {
    parts_->settings.saveEvery5.store(on);
    if (on) {
        parts_->counters.nextPeriodicSave.store(
            platform::SteadyMilliseconds() +
            static_cast<std::uint64_t>(parts_->timing.periodicSaveMs));
    }
}

void OptionSetters::SetIgnoreList(bool on) {
    parts_->settings.ignoreList.store(on);
    if (on && !parts_->run.HistoryLoaded()) {
        app_.Work().LoadHistory();
    }
}

}  // namespace wg
