// The state file of a crawl: the page queue, the visited list and the
// download queue (with the items the workers hold) saved, with a backup once
// per run, and loaded back, a corrupt file recovered through its backup.
#pragma once

#include <filesystem>
#include <string_view>

#include "app/ui_port.h"
#include "crawl/crawl_counters.h"
#include "crawl/crawl_queues.h"
#include "crawl/run_state.h"
#include "settings/app_paths.h"
#include "settings/app_settings.h"
#include "util/timing.h"

namespace wg {

class App;

class CrawlStateFile {
public:
    explicit CrawlStateFile(App& app);
    CrawlStateFile(const CrawlStateFile&) = delete;
    CrawlStateFile& operator=(const CrawlStateFile&) = delete;

    // Writes the three lists (and the files the download workers hold) to
    // the state file; with `beforeExit` the workers stop after their items.
    // False when nothing was written.
    bool Save(bool beforeExit);
    // Reads the state file at the paths' stateFile into the lists,
    // recovering a corrupt one through its backup.
    void Load(bool fromBackup);
    // "Load As": the chosen file becomes the state file and is loaded with
    // page taking held; false when the chooser was cancelled.
    bool LoadAs();
    // "Save As": saves to the chosen file; later saves still go to the
    // current one. False when the chooser was cancelled.
    bool SaveAs();
    // The backup the first save of this run makes ("bak" after a load, else "bac").
    std::filesystem::path BackupName() const;

private:
    enum class LoadEnd { Complete, Ended, Corrupt };
    LoadEnd ReadLists(std::string_view bytes);
    void Recover(bool fromBackup);
    void FinishLoad();

    App& app_;
    AppSettings& settings_;
    AppPaths& paths_;
    RunState& run_;
    UiPort& port_;
    CrawlQueues& queues_;
    CrawlCounters& counters_;
    const Timing& timing_;
};

}  // namespace wg
