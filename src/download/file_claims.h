// The local files being written right now, one writer each: two URLs that
// are saved under the same name (a site's "/" and "/index.html") are written
// one after the other, never into the same partial file at once.
#pragma once

#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

namespace wg {

class FileClaims {
public:
    // Waits while another writer holds `localName`, then holds it.
    void Claim(std::string_view localName);
    void Release(std::string_view localName);

private:
    std::mutex mutex_;
    std::condition_variable released_;
    std::set<std::string, std::less<>> held_;
};

}  // namespace wg
