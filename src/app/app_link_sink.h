// The link scanner's view of the application: its queues, status line, debug
// log and stop flags.
#pragma once

#include "crawl/link_scanner.h"

namespace wg {

class App;

class AppLinkSink final : public LinkSink {
public:
    explicit AppLinkSink(App& app) : app_(app) {}

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
    App& app_;
};

}  // namespace wg
