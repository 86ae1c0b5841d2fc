// Option setters whose changes act at once.
#include <algorithm>

#include "app/app_parts.h"
#include "app/crawl_work.h"
#include "platform/clock.h"
#include "util/text.h"

namespace wg {

void App::SetUrlThreadCount(int count) {
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

void App::SetDownloadThreadCount(int count) {
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

void App::SetThreadPriority(int priority) {
    if (priority == parts_->settings.priority.load()) {
        return;
    }
    parts_->settings.priority.store(priority);
    ApplyPriority(priority);
}

void App::SetUserAgent(std::string_view text) {
    parts_->settings.userAgent.Set(CopyBounded(text, kPathCapacity));
}

void App::SetMinDownloadQueue(int count) {
    if (count != 0) {
        parts_->settings.minDownloadQueue.store(count);
        WakeWorkers();
    }
}

void App::SetMaxFileSize(int size) {
    if (size != 0 && size <= parts_->settings.minFileSize.load()) {
        return;
    }
    parts_->settings.maxFileSize.store(size);
}

void App::ToggleStopAddingHistory() {
    parts_->run.SetStopAddingHistory(!parts_->run.StopAddingHistory());
    parts_->port.SetStopAddingHistoryChecked(parts_->run.StopAddingHistory());
}

void App::TogglePause() {
    const bool paused = !parts_->run.Paused();
    parts_->run.SetPaused(paused);
    parts_->port.SetPauseState(paused);
    if (!paused) {
        WakeWorkers();
    }
}

void App::SetPauseAfterDownloads(bool flag) {
    parts_->run.SetPauseAfterDownloads(flag);
    if (flag) {
        ShowStatus("Will pause when 'To Download' is empty...");
    } else {
        WakeWorkers();
    }
}

void App::SetPeriodicSave(bool on) {
    parts_->settings.saveEvery5.store(on);
    if (on) {
        parts_->counters.nextPeriodicSave.store(
            platform::SteadyMilliseconds() +
            static_cast<std::uint64_t>(parts_->timing.periodicSaveMs));
    }
}

void App::SetIgnoreList(bool on) {
    parts_->settings.ignoreList.store(on);
    if (on && !parts_->run.HistoryLoaded()) {
        Work().LoadHistory();
    }
}

}  // namespace wg
