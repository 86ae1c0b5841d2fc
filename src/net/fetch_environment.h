// What a transaction needs from the program around it: the options that shape
// it, the stop flag, the worker slots, the logs, the queues a redirect feeds,
// the cookie jar, and the steps that other parts of the engine take on a file
// (rewriting a saved page, naming a query page, the duplicate check, counting).
//
// The base class answers as a connection without an application does (the
// update check): default options, nothing logged, queued, rewritten or
// counted. The application supplies its own environment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "download/rewrite_links.h"

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

    // Size of the file a URL was saved as in the download directory, when it is
    // there (the resume test of the "File URL" mode).
    virtual std::optional<std::uint64_t> SizeOnDisk(std::string_view /*url*/) {
        return std::nullopt;
    }

    // The offline rewriter of a saved page, made when its first HTML chunk
    // arrives; null: the page is saved as it came.
    virtual std::unique_ptr<PageRewriter> StartRewrite(const PageLocation& /*page*/) {
        return nullptr;
    }
    // Gives a query page its own local name (may rename `localName`); false
    // when the name is to be cut at the '?' instead.
    virtual bool MakeDynamicPage(std::string& /*localName*/, std::size_t /*queryPos*/) {
        return false;
    }
    // The runtime duplicate check of a finished file; true when it was a
    // duplicate (and has been dealt with).
    virtual bool IsRuntimeDuplicate(std::string_view /*localName*/) { return false; }
    // A file kept whole under its own name, with its size on disk.
    virtual void CountDownload(std::uint64_t /*bytes*/) {}
    // A file of the download directory could not be created or written: the
    // system error and the local name. Nothing of it is kept under its name.
    virtual void DiskWriteFailed(int /*error*/, std::string_view /*localName*/) {}
    virtual void NoteLastDownload(std::string_view /*localName*/) {}
    // A local file is about to be written: waits while another transaction
    // writes the same name. Every claim is released.
    virtual void ClaimLocalFile(std::string_view /*localName*/) {}
    virtual void ReleaseLocalFile(std::string_view /*localName*/) {}
};

// The environment of connections used without an application.
FetchEnvironment& DefaultFetchEnvironment();

}  // namespace wg
