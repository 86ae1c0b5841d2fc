// How a page worker splits a page URL for its connection.
#pragma once

#include <string>
#include <string_view>

namespace wg {

struct PageUrlParts {
    std::string host;
    std::string port;         // the URL's own, else "443" for https and "80"
    std::string directory;    // for SetPath; empty when the page is at the top
    std::string requestName;  // the last segment with its query
    bool secure = false;
};

// "http://h:8080/a/b.html?x" is host "h", port "8080", directory "a/",
// request name "b.html?x". A query that holds a '/' stays whole in the request
// name ("a/page?x=1/2": directory "a/page?", name "?x=1/2").
PageUrlParts SplitPageUrl(std::string_view url);

}  // namespace wg
