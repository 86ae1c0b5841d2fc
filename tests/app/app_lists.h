// What the App's queues hold, read under their mutexes, and a page record.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/app.h"
#include "crawl/crawl_queues.h"

namespace wg::test {

using Strings = std::vector<std::string>;

inline Strings QueuedPages(App& a) {
    auto lock = a.Queues().Pages();
    RecordList& linksToGrubble = *lock;
    Strings urls;
    for (const auto& r : linksToGrubble.Entries())
        urls.push_back(r->url);
    return urls;
}

inline Strings QueuedFiles(App& a) {
    auto lock = a.Queues().Files();
    UrlList& toDownload = *lock;
    Strings urls;
    toDownload.ForEach([&](const std::string& u) { urls.push_back(u); });
    return urls;
}

inline UrlRecordPtr Rec(const std::string& url, std::uint8_t withinDomain = 0) {
    auto r = std::make_shared<UrlRecord>();
    r->url = url;
    r->withinDomain = withinDomain;
    return r;
}

}  // namespace wg::test
