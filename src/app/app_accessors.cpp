// The App's parts, reached by name.
#include "app/app_parts.h"
#include "app/crawl_control.h"
#include "app/crawl_fetcher.h"
#include "app/crawl_state_file.h"
#include "app/crawl_work.h"
#include "app/option_files.h"
#include "app/option_setters.h"
#include "app/worker_pool.h"

namespace wg {

OptionFiles& App::Options() {
    return *parts_->optionFiles;
}
CrawlFetcher& App::Fetcher() {
    return *parts_->fetcher;
}
UiPort& App::Port() {
    return parts_->port;
}
RecentTexts& App::RecentUrls() {
    return parts_->recentUrls;
}
RecentTexts& App::RecentSearches() {
    return parts_->recentSearches;
}
const Timing& App::Timings() const {
    return parts_->timing;
}
void App::SetTimings(const Timing& timing) {
    parts_->timing = timing;
}
RedirectFileList App::RedirectFiles() {
    return RedirectFileList(parts_->redirectMutex, parts_->redirectFiles);
}
CrawlQueues& App::Queues() {
    return parts_->queues;
}
TransferSlotTable& App::Slots() {
    return parts_->slots;
}
const TransferSlotTable& App::Slots() const {
    return parts_->slots;
}
CrawlControl& App::Control() {
    return *parts_->control;
}
OptionSetters& App::Setters() {
    return *parts_->setters;
}
WorkerPool& App::Workers() {
    return *parts_->workers;
}
CrawlWork& App::Work() {
    return *parts_->work;
}
CrawlStateFile& App::StateFile() {
    return *parts_->stateFile;
}
LastDownloads& App::LastFiles() {
    return parts_->lastFiles;
}
DupeService& App::Dupes() {
    return *parts_->dupes;
}
RunState& App::State() {
    return parts_->run;
}
const RunState& App::State() const {
    return parts_->run;
}
AppSettings& App::Settings() {
    return parts_->settings;
}
const AppSettings& App::Settings() const {
    return parts_->settings;
}
AppPaths& App::Paths() {
    return parts_->paths;
}
const AppPaths& App::Paths() const {
    return parts_->paths;
}
SharedText& App::CurrentUrl() {
    return parts_->currentUrl;
}
SharedText& App::RejectReason() {
    return parts_->rejectReason;
}
UrlErrorLog& App::UrlErrors() {
    return parts_->urlErrorLog;
}
ValidUrlLog& App::ValidUrls() {
    return parts_->validUrlLog;
}
CookieJar& App::Cookies() {
    return parts_->cookies;
}
CrawlCounters& App::Counters() {
    return parts_->counters;
}
const CrawlCounters& App::Counters() const {
    return parts_->counters;
}
CrawlTally& App::Tally() {
    return parts_->tally;
}
WorkHooks& App::Hooks() {
    return parts_->hooks;
}
DirectorySearch& App::Directories() {
    return parts_->dirSearch;
}
const DirectorySearch& App::Directories() const {
    return parts_->dirSearch;
}

}  // namespace wg
