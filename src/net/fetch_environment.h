// What the transport needs from the program around it: the options that shape
// a transaction, the stop flag, the worker slots, the logs, the queues a
// redirect feeds and the cookie jar. The steps taken on a saved file are the
// download side's (src/download/download_environment.h).
//
// The base class answers as a connection without an application does (the
// update check): default options, nothing logged or queued. The application
// supplies its own environment.
#pragma once

#include <string>
#include <string_view>

namespace wg {

struct TransferSlot;

// The user agent sent when no application is there to name one.
inline constexpr const char kFallbackUserAgent[] =
    "Mozilla/3.0 (compatible; MSIE 5.0; Windows NT 5.1)";

struct FetchOptions {
    int minFileSize = 0;          // MIN_FILE_SIZE
    int maxFileSize = 0;          // MAX_FILE_SIZE, 0 = no upper limit
    int headerTimeoutMs = 60000;  // the whole header block must arrive within this
    int minBodyRate = 0;          // bytes per second; a slower body is given up, 0 = never
    bool noDownload = false;
    bool sendCookie = false;
    bool logDebug = false;
    bool webPagesWanted = false;  // the "Web Pages" download type
    bool fileUrlMode = false;     // a single file is being fetched ("File URL")
    // The crawl scope follows absolute redirects ("All Linked Pages" or
    // "Within This Domain Only").
    bool scopeFollowsLinks = false;
    bool trackLastDownload = false;  // set by Go: note every finished file
    std::string userAgent = kFallbackUserAgent;
    // KEEP_ALIVE: plain requests ask the server to keep the connection open,
    // so that the next request of the worker goes out on it.
    bool keepAlive = false;
    std::string caFile;  // CA_FILE: a PEM file of extra trusted roots for https; empty = none
};

class FetchEnvironment {
public:
    virtual ~FetchEnvironment() = default;

    // An application object exists (counting, duplicate checks, last download).
    virtual bool HasApp() const { return false; }
    virtual FetchOptions Options() const { return {}; }
    // Every worker is to stop after its current item.
    virtual bool StopRequested() const { return false; }
    // The worker slot with this index; null for -1 or without an application.
    virtual TransferSlot* Slot(int /*index*/) { return nullptr; }

    // A refused status and the URL asked for.
    virtual void RecordUrlError(int /*status*/, std::string_view /*url*/) {}
    // One debug-log entry; the caller has decided that it is wanted.
    virtual void DebugLine(std::string_view /*text*/) {}
    // The reason shown as "Last Fail Reason: " at the end of a crawl.
    virtual void SetLastFailure(std::string_view /*text*/) {}

    // A redirect target: as a page ("Links To Grubble") and to the download
    // type filter ("To Download"), with the connection's domain.
    virtual void QueuePage(std::string_view /*url*/, std::string_view /*domain*/) {}
    virtual void OfferDownload(std::string_view /*url*/, std::string_view /*domain*/) {}

    // Cookie text ("a=1; b=2") for "http://" + host; empty when none.
    virtual std::string CookiesFor(std::string_view /*host*/) { return {}; }
    virtual void StoreCookie(std::string_view /*host*/, std::string_view /*cookie*/) {}
};

// The environment of connections used without an application.
FetchEnvironment& DefaultFetchEnvironment();

}  // namespace wg
