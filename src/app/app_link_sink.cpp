// The link scanner's calls, carried to the App.
#include "app/app_link_sink.h"
#include "app/crawl_work.h"

#include <mutex>
#include <thread>

#include "app/app.h"
#include "crawl/crawl_queues.h"
#include "crawl/run_state.h"
#include "util/log_file.h"

namespace wg {

UrlRecordPtr AppLinkSink::AddSite(std::string_view url, std::uint8_t allLinked,
                                  std::uint8_t withinDomain, std::uint8_t thirdFlag, bool filtered,
                                  const std::string* baseUrl) {
    return app_.Work().AddSite(url, allLinked, withinDomain, thirdFlag, filtered, baseUrl);
}

void AppLinkSink::AddFile(std::string_view url, bool userAdded, bool fileUrlMode) {
    files_.push_back({std::string(url), userAdded, fileUrlMode});
}

void AppLinkSink::Flush() {
    for (const OfferedFile& file : files_) {
        app_.Work().AddFile(file.url, file.userAdded, file.fileUrlMode);
    }
    files_.clear();
}

bool AppLinkSink::AddingLinksStopped() {
    return app_.State().StopAddingLinks();
}

bool AppLinkSink::QueuesEmpty() {
    if (!files_.empty()) {
        return false;
    }
    return !app_.Queues().HasQueuedWork();
}

void AppLinkSink::ShowStatus(std::string_view text) {
    app_.ShowStatus(text);
}

bool AppLinkSink::ScanCancelled(int /*slot*/) {
    return app_.State().ExitRequested() || app_.State().WorkersStopping();
}

void AppLinkSink::DebugLine(std::string_view text) {
    DebugLog("%.*s", static_cast<int>(text.size()), text.data());
}

void AppLinkSink::Yield() {
    // The scanner offers to step aside at every candidate link. The kernel
    // preempts a busy thread anyway, and on a loaded machine each yield can
    // cost a whole time slice, so only every 256th offer is taken.
    thread_local unsigned offers = 0;
    if ((++offers & 255U) == 0) {
        std::this_thread::yield();
    }
}

}  // namespace wg
