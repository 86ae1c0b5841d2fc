// The link scanner: reads one fetched page and hands every link it accepts to
// the work queues, page links to "Links To Grubble" and file links to "To
// Download". It is a heuristic text scanner, not an HTML parser: a few fixed
// attribute searches, then a walk over every '.' of the page with rules that
// keep script expressions and prose out. Scripts fetched as pages (".js")
// have a scan of their own.
//
// The page is read by its length: a full receive buffer without a terminator
// is scanned safely. The scanner reaches the queues, the status line, the
// debug log and the stop flags only through a LinkSink, so it runs without
// threads or an application in tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "crawl/url_record.h"
#include "settings/app_settings.h"

namespace wg {

// Longest candidate link plus one: attribute values and script links must be
// shorter (the URL buffer of the program).
inline constexpr std::size_t kScanLinkLimit = 1040;
// The dot pass takes links shorter than this.
inline constexpr std::size_t kDotLinkLimit = 260;

// Links that begin with these (the Flash player vendor's download and home
// hosts) take the usual path but write no "Not In Domain" or skip-keyword
// line to the debug log.
inline constexpr std::string_view kFlashDownloadPrefix = "http://download.flashvendor.example/";
inline constexpr std::string_view kFlashHomePrefix = "http://www.flashvendor.example/";

// What the scanner reads of a fetched page.
struct FetchedPage {
    std::string_view body;    // the received bytes; no terminator needed
    std::string_view host;    // the connection's host name
    std::string_view domain;  // the page domain: the host's last two labels, lowercase
    bool flashSeen = false;   // a ".swf" file was queued from this page
};

// Everything a scan asks of the program around it.
class LinkSink {
public:
    virtual ~LinkSink() = default;

    // The queue operations (filtered pages, files never user-added).
    virtual UrlRecordPtr AddSite(std::string_view url, std::uint8_t allLinked,
                                 std::uint8_t withinDomain, std::uint8_t thirdFlag, bool filtered,
                                 const std::string* baseUrl) = 0;
    virtual void AddFile(std::string_view url, bool userAdded, bool fileUrlMode) = 0;

    // Adding to "Links To Grubble" is stopped.
    virtual bool AddingLinksStopped() { return false; }
    // Both work queues are empty.
    virtual bool QueuesEmpty() { return false; }
    virtual void ShowStatus(std::string_view /*text*/) {}
    // The scan of the worker with this slot is to end now.
    virtual bool ScanCancelled(int /*slot*/) { return false; }
    // One debug-log line; the scanner writes it only when LOGDEBUG is set.
    virtual void DebugLine(std::string_view /*text*/) {}
    // Gives up the time slice after a candidate link.
    virtual void Yield() {}
};

// One scan: the options, the queues, the page and its record, and the link
// buffers reused for every candidate.
struct ScanContext {
    ScanContext(const AppSettings& settings, LinkSink& sink, FetchedPage& page,
                const UrlRecord& record, int slot);

    const AppSettings& settings;
    LinkSink& sink;
    FetchedPage& page;
    const UrlRecord& record;
    int slot;

    // The record's scope. The "<link" pass raises withinDomain for its file
    // offers here; the shared record itself is never written.
    bool allLinked;
    bool withinDomain;

    // Read once per scan.
    bool logDebug;
    bool webPagesWanted;  // DFT bit 0
    bool allFileTypes;    // FILE_TYPES ends with its catch-all '.'

    std::string link;          // the candidate
    std::string joined;        // a relative link joined to its base
    std::string lastRejected;  // the script scan's last logged rejection

    // The byte ranges [start, end) of the page's <script> elements, in order.
    // Their text is script, not HTML: its character references stay as written.
    std::vector<std::pair<std::size_t, std::size_t>> scriptElements;

    // The byte ranges of the page's srcset values, in order.
    std::vector<std::pair<std::size_t, std::size_t>> sourceSets;

    // Decodes the character references of a link found at `textPos` of the
    // page, unless that place is inside a script element.
    void DecodeReferences(std::string& candidate, std::size_t textPos) const;
};

// The ranges of the <script> elements of `text` (an unclosed one runs to the end).
std::vector<std::pair<std::size_t, std::size_t>> ScriptElementsOf(std::string_view text);
// The ranges of the quoted values of the srcset attributes of `text`.
std::vector<std::pair<std::size_t, std::size_t>> SourceSetsOf(std::string_view text);

// Scans a fetched page: clears flashSeen, applies the "On Web Page" search
// words, hands ".js" pages to ScanScript, and runs the five passes.
void ScanPage(const AppSettings& settings, LinkSink& sink, FetchedPage& page,
              const UrlRecord& record, int slot);

// The scan of a script file fetched as a page.
void ScanScript(const AppSettings& settings, LinkSink& sink, FetchedPage& page,
                const UrlRecord& record, int slot);

// Offers a link as a file. `link` is cleaned in place (trailing brackets, a
// path parameter after a file name, a fragment, "//" completed with "http:").
// `extPos` is the extension's dot in the link or kNotFound. False when the
// link holds a character no link may hold; true otherwise, queued or not.
bool OfferFileLink(ScanContext& scan, std::string& link, std::size_t extPos, bool isPage);

// Offers a link as a page to crawl. Returns how far the caller's cursor may
// move on: the link's length, or the position of the character that refused it.
std::size_t OfferPageLink(ScanContext& scan, std::string_view link, bool scriptMode);

// Queues an absolute page URL found on `parent`, with the parent's scope; a
// script file gets the parent's directory as its base URL.
UrlRecordPtr AddSiteFromScan(LinkSink& sink, std::string_view url, const UrlRecord& parent,
                             bool checkFilters);

}  // namespace wg
