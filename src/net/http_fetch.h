// One GET transaction on a connection: the request, the answer's status and
// header lines, the destination (the page buffer or a file below the download
// directory), the body, and the judgement of what arrived.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "net/http_connection.h"

namespace wg {

struct FetchRequest {
    int slot = -1;  // worker slot, -1 = none
    // What to ask for, relative to the connection's path: a file name, a name
    // with a query, a query alone, an absolute path or a whole URL. Required.
    std::optional<std::string> name;
    // Absent: the body goes to the page buffer. Present (may be empty): the
    // body goes to a file; a non-empty saveDir is its first directory.
    std::optional<std::string> saveDir;
    std::optional<std::string> saveName;  // the file below saveDir; absent = name
    std::uint32_t resumeFrom = 0;         // bytes already on disk
    std::uint32_t expectedTotal = 0;      // Content-Length of the previous attempt
    // A file transaction that also keeps the body as it came in the page
    // buffer, while it fits (for a page that is both saved and scanned).
    bool keepPage = false;
};

// What a transaction came to.
enum class FetchOutcome : std::uint8_t {
    Unusable,  // the connection is unusable: connect or a mandatory send failed, or the
               // body met a socket error
    Nothing,   // nothing usable came
    Body,      // a body came
};

struct FetchResult {
    FetchOutcome outcome = FetchOutcome::Nothing;
    // With Body: the body size; 1 for an https answer that was taken, and for an
    // HTML page refused in place of another kind of file.
    std::uint32_t bytes = 0;

    bool Usable() const { return outcome != FetchOutcome::Unusable; }
    bool HasBody() const { return outcome == FetchOutcome::Body; }
};

// Runs the transaction. The page of a memory transaction is in `buffer`, its
// length in `received` (at most kPageBufferLimit, zero-terminated when shorter).
FetchResult HttpFetch(HttpConnection& connection, const FetchRequest& request);

// Reads the status line and header lines and acts on them: the header-byte
// count, or -1 when the answer is refused or broken.
long ReadResponseHeaders(HttpConnection& connection, std::uint32_t expectedTotal, int slot);

// Reads the body into the page buffer or the open file: the bytes now held
// (a resumed file counts its earlier part), -1 on a socket error, or 1 when an
// HTML page came in place of a file that is not a web page.
long ReceiveBody(HttpConnection& connection, int slot);

// The https transaction for `url`: true when the answer was taken (an empty
// answer too), false when the request failed or was refused.
bool HttpsFetch(HttpConnection& connection, int slot, const std::string& url,
                const std::string& localName, bool saveToFile);

}  // namespace wg
