// What the front ends hand an App: where it starts, a crawl's request, the
// start-up wizard's answers, and what its workers do with their items.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "app/ui_port.h"
#include "crawl/url_record.h"

namespace wg {

// What a worker does with an item it took, and the "already downloaded"
// test of the download directories. Without a handler an item is only
// counted through; without the test nothing counts as on disk.
struct WorkHooks {
    std::function<bool(const std::string& url)> alreadyOnDisk;
    std::function<bool(int slot, UrlRecord& record)> pageHandler;
    std::function<bool(int slot, const std::string& url)> downloadHandler;
};

struct InitOptions {
    // The program directory; empty means the current directory.
    std::filesystem::path programDir;
    // The download directory until the settings name one; empty means
    // "Downloads" below the program directory.
    std::filesystem::path downloadDir;
};

// The main window's controls at the moment of "Go Fetch".
struct CrawlRequest {
    std::string address;                          // the address field
    CrawlScope scope = CrawlScope::OnlyThisPage;  // the scope buttons
    bool webPagesChecked = false;                 // the "Web Pages" box
};

// The start-up wizard's answers.
struct WizardAnswers {
    std::string address;
    bool fileMode = false;
    bool allLinked = false;
    bool withinDomain = false;
    std::uint8_t thirdFlag = 0;
    bool singlePage = false;
};

}  // namespace wg
