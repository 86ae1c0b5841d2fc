// Local names for web pages addressed with a query string, and the small
// server-side redirect scripts that serve them again from a saved site.
//
// A page such as forum/view.php?id=3&p=2 is stored as
// forum/view.php_id_3-p_2.html, and at forum/view.php a PHP, ASP or JSP script
// is written that maps a query back to the stored file when the saved site is
// served by a web server; opened from disk, the ".html" page shows in a
// browser as it is. The redirect-file list remembers which main parameter
// each script uses, so that later pages of the same script are named with that
// parameter first.
//
// Every file written here (scripts, "_n0n3" copies) is opened through the
// guarded functions of save_paths.h and stays inside the current directory.
#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wg {

// Script languages, the values of REDIR_DEFAULT_TYPE.
enum RedirectScriptType : int { kRedirectPhp = 0, kRedirectAsp = 1, kRedirectJsp = 2 };

struct DynamicPageOptions {
    bool singleRedirectParam = false;  // SINGLE_REDIRECT_PARAM: only the first parameter counts
    int defaultType = kRedirectAsp;    // REDIR_DEFAULT_TYPE; other values count as ASP
};

// {script path, main parameter name} records.
using RedirectFileRecords = std::vector<std::pair<std::string, std::string>>;

// The application's redirect-file list seen through its guarding mutex (the
// "Sites Visited" mutex). Each call takes the mutex for its own duration only.
class RedirectFileList {
public:
    RedirectFileList(std::mutex& mutex, RedirectFileRecords& records)
        : mutex_(mutex), records_(records) {}

    // The main parameter remembered for `script` (exact, case-sensitive match).
    std::optional<std::string> Find(std::string_view script) const;
    // Adds {script, parameter} unless a record for `script` exists; true when added.
    bool Add(std::string_view script, std::string_view parameter);
    // Runs `step` on the records with the mutex held, so that a look at the
    // disk and a change of the list are one step for every other worker.
    void WithRecords(const std::function<void(RedirectFileRecords&)>& step);

private:
    std::mutex& mutex_;
    RedirectFileRecords& records_;
};

// Receives one log entry (error log or debug log).
using DynamicPageLog = std::function<void(std::string_view text)>;

// Gives the local name `localName`, whose '?' stands at `queryPos`, its stored
// name and writes the redirect script for it. False for a Flash movie (".swf")
// and for a `queryPos` that holds no '?': the name is left alone and the caller
// cuts it at the '?'. True: `localName` now holds the stored name.
//
// `errorLog` gets "CopyFile failed" entries (empty: the process-wide error
// log); `debugLog` gets refusals of paths and of names that cannot be put into
// a script safely.
bool MakeDynamicPage(std::string& localName, std::size_t queryPos,
                     const DynamicPageOptions& options, RedirectFileList& redirects,
                     const DynamicPageLog& errorLog = {}, const DynamicPageLog& debugLog = {});

// Called after the file `localName` was saved whole. When it is a site's
// index.html, every script of that site placed while the page was not yet on
// disk gets its "_n0n3" copy of it now (an existing copy is never replaced).
void CopyIndexForScripts(std::string_view localName, RedirectFileList& redirects,
                         const DynamicPageLog& errorLog = {}, const DynamicPageLog& debugLog = {});

// The stored name of the query page `localName` (whose '?' is its first),
// as MakeDynamicPage would give it when no earlier page of the same script
// remembered another main parameter. A name without '?' is returned as it is;
// a Flash movie is cut at its '?', as the caller of MakeDynamicPage does.
std::string StoredQueryPageName(std::string_view localName, const DynamicPageOptions& options);

// Renames `path`, whose '?' stands at `queryPos`, in place to the stored name
// of its dynamic page and answers whether that file exists. A page stored by
// an earlier version under the URL's extension instead of ".html" is found
// too, and `path` then takes that name (the ".html" one when neither exists).
// A Flash movie is looked for at the path up to the '?' and keeps its name.
bool DynamicPageExists(std::string& path, std::size_t queryPos, const DynamicPageOptions& options);
// The same with the first '?' of `path`; a path without one is only tested.
bool DynamicPageExists(std::string& path, const DynamicPageOptions& options);

// The script text of `type` for the main parameter, the prefix of the stored
// names and their extension ("html" for the names MakeDynamicPage gives);
// `singleParameter` picks the one-parameter set.
std::string RedirectScriptText(int type, bool singleParameter, std::string_view mainParameter,
                               std::string_view prefix, std::string_view extension);

}  // namespace wg
