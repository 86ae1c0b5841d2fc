// A page queued in "Links To Grubble" or remembered in the visited list.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace wg {

struct UrlRecord {
    std::string url;
    std::string baseUrl;            // the referring page's directory, when known
    bool hasBaseUrl = false;        // baseUrl is set
    std::uint8_t allLinked = 0;     // scope "All Linked Pages"
    std::uint8_t withinDomain = 0;  // scope "Within This Domain Only"; both 0: "Only This Web Page"
    std::uint8_t thirdFlag = 0;     // passed on unchanged to the pages found on this one
};

// Records are shared: a worker may still read a record after another thread
// removed it from its list.
using UrlRecordPtr = std::shared_ptr<UrlRecord>;

}  // namespace wg
