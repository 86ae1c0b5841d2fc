// "History.dta": the download history kept across runs, with "History.bak" as
// the copy of the file before the latest save.
#include <cstdio>
#include <string>

#include "app/app_parts.h"
#include "app/crawl_work.h"
#include "platform/files.h"
#include "store/history_file.h"
#include "util/error_texts.h"

namespace wg {

void CrawlWork::SaveHistory() {
    if (parts_->run.WorkHeld()) {
        return;
    }
    // A run that never read the history and changed nothing in it has nothing
    // to say about it: the files stay as they are.
    if (!parts_->run.HistoryLoaded() && !parts_->historyChanged.load()) {
        return;
    }
    std::string old;
    if (platform::ReadWholeFile(parts_->paths.historyFile, &old)) {
        (void)platform::WriteFileAtomically(parts_->paths.historyBackup, old);
    }
    std::string image;
    {
        auto lock = parts_->queues.History();
        UrlList& downloadHistory = lock->downloaded;
        AppendHistoryCount(image, static_cast<std::int32_t>(downloadHistory.Size()));
        downloadHistory.ForEach([&](const std::string& url) { AppendHistoryUrl(image, url); });
    }
    platform::RemoveLeftoverTemporaries(parts_->paths.historyFile);
    if (const int error = platform::WriteFileAtomically(parts_->paths.historyFile, image);
        error != 0) {
        const std::string text = FileErrorText(error);
        app_.ShowStatus(text.empty() ? "Failed to save history file." : text);
    }
}

void CrawlWork::LoadHistory() {
    std::string bytes;
    bool fromBackup = false;
    if (!platform::ReadWholeFile(parts_->paths.historyFile, &bytes)) {
        if (!platform::ReadWholeFile(parts_->paths.historyBackup, &bytes)) {
            return;
        }
        fromBackup = true;
    }
    parts_->run.SetHistoryLoaded(true);
    HistoryFileReader reader(bytes);
    (void)reader.ReadCount();
    {
        auto lock = parts_->queues.History();
        UrlList& downloadHistory = lock->downloaded;
        UrlList& runDownloads = lock->thisRun;
        runDownloads.Clear();
        parts_->run.SetWorkHeld(true);
        app_.ShowStatus("Loading History...");
        std::int32_t index = 0;
        bool ended = false;
        for (; index < reader.Surplus() && !ended; ++index) {
            ended = !reader.SkipRecord();
            if ((index & 0x31FF) == 0) {
                app_.AppendStatus(".");
            }
        }
        std::string url;
        for (; index < reader.Count() && !ended; ++index) {
            if (!reader.NextUrl(&url)) {
                break;
            }
            if (!url.empty()) {
                downloadHistory.PushBack(url);
            }
            if ((index & 0x3FF) == 0) {
                if ((index & 0x31FF) == 0) {
                    app_.AppendStatus(".");
                } else {
                    parts_->port.ProcessMessages();
                }
            }
        }
        app_.ShowStatus("Ready.");
        parts_->run.SetWorkHeld(false);
    }
    if (fromBackup) {
        SaveHistory();
        (void)platform::ForceDelete(parts_->paths.historyBackup);
    }
}

}  // namespace wg
