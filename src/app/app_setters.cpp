// Option setters whose changes act at once.
#include <algorithm>

#include "app/app.h"
#include "platform/clock.h"
#include "util/text.h"

namespace wg {

void App::SetUrlThreadCount(int count) {
    const int current = settings_.numUrlThreads.load();
    // A count below none means none.
    count = std::clamp(count, 0, kMaxThreads);
    if (count == current) {
        return;
    }
    if (current > count) {
        port_.Tell(
            "The change in the number of URL processing threads will\nnot take effect until Web "
            "Grubbler is restarted",
            "Notice", Icon::None);
    }
    settings_.numUrlThreads.store(count);
    if (count > current && mainWindow_ && !run_.WorkersStopping()) {
        // Handle slot 0 always holds the first page worker.
        for (int slot = std::max(current, 1); slot < count; ++slot) {
            threads_.StartAt(WorkerKind::Page, slot);
        }
    }
}

void App::SetDownloadThreadCount(int count) {
    const int current = settings_.numDownloadThreads.load();
    if (count < 1 || count == current) {
        return;
    }
    count = std::min(count, kMaxThreads);
    if (current > count) {
        port_.Tell(
            "The change in the number of Download Threads will\nnot take effect until Web "
            "Grubbler is restarted",
            "Notice", Icon::Information);
    }
    settings_.numDownloadThreads.store(count);
    if (count > current && mainWindow_ && !run_.WorkersStopping()) {
        for (int slot = std::max(current, 1); slot < count; ++slot) {
            threads_.StartAt(WorkerKind::Download, slot);
        }
    }
}

void App::SetThreadPriority(int priority) {
    if (priority == settings_.priority.load()) {
        return;
    }
    settings_.priority.store(priority);
    ApplyPriority(priority);
}

void App::SetUserAgent(std::string_view text) {
    settings_.userAgent.Set(CopyBounded(text, kPathCapacity));
}

void App::SetMinDownloadQueue(int count) {
    if (count != 0) {
        settings_.minDownloadQueue.store(count);
        WakeWorkers();
    }
}

void App::SetMaxFileSize(int size) {
    if (size != 0 && size <= settings_.minFileSize.load()) {
        return;
    }
    settings_.maxFileSize.store(size);
}

void App::ToggleStopAddingHistory() {
    run_.SetStopAddingHistory(!run_.StopAddingHistory());
    port_.SetStopAddingHistoryChecked(run_.StopAddingHistory());
}

void App::TogglePause() {
    const bool paused = !run_.Paused();
    run_.SetPaused(paused);
    port_.SetPauseState(paused);
    if (!paused) {
        WakeWorkers();
    }
}

void App::SetPauseAfterDownloads(bool flag) {
    run_.SetPauseAfterDownloads(flag);
    if (flag) {
        ShowStatus("Will pause when 'To Download' is empty...");
    } else {
        WakeWorkers();
    }
}

void App::SetPeriodicSave(bool on) {
    settings_.saveEvery5.store(on);
    if (on) {
        counters_.nextPeriodicSave.store(platform::SteadyMilliseconds() +
                                         static_cast<std::uint64_t>(timing_.periodicSaveMs));
    }
}

void App::SetIgnoreList(bool on) {
    settings_.ignoreList.store(on);
    if (on && !run_.HistoryLoaded()) {
        LoadHistory();
    }
}

}  // namespace wg
