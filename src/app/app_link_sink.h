// The link scanner's view of the application: its queues, status line, debug
// log and stop flags.
#pragma once

#include <string>
#include <vector>

#include "crawl/link_scanner.h"

namespace wg {

class App;

// The files a scan offers are queued when the scan ends, after the pages it
// offered: a download worker that takes a page's file then finds the page
// queued and leaves both to the page worker that fetches it once.
class AppLinkSink final : public LinkSink {
public:
    explicit AppLinkSink(App& app) : app_(app) {}
    ~AppLinkSink() override { Flush(); }
    AppLinkSink(const AppLinkSink&) = delete;
    AppLinkSink& operator=(const AppLinkSink&) = delete;

    // Queues the files offered so far.
    void Flush();

    UrlRecordPtr AddSite(std::string_view url, std::uint8_t allLinked, std::uint8_t withinDomain,
                         std::uint8_t thirdFlag, bool filtered,
                         const std::string* baseUrl) override;
    void AddFile(std::string_view url, bool userAdded, bool fileUrlMode) override;
    bool AddingLinksStopped() override;
    bool QueuesEmpty() override;
    void ShowStatus(std::string_view text) override;
    // The program is quitting.
    bool ScanCancelled(int slot) override;
    void DebugLine(std::string_view text) override;
    void Yield() override;

private:
    struct OfferedFile {
        std::string url;
        bool userAdded = false;
        bool fileUrlMode = false;
    };
    App& app_;
    std::vector<OfferedFile> files_;
};

}  // namespace wg
