// One GET transaction on a connection as a worker runs it: the destination
// (the page buffer or a file below the download directory), the body through
// the transport, and the judgement of what arrived (too small, empty, HTML in
// place of a file, duplicate, counted). A file's bytes go to its partial file
// (".wgpart"), which takes the final name only when it is whole.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "download/download_environment.h"
#include "net/http_answer.h"
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

// What a worker keeps of the last transaction on its connection, for the next
// attempt at the same file and for reading the page it brought.
struct FetchState {
    HttpAnswer answer;
    // The last file transaction left its whole body, from the first byte and
    // as it came, in the connection's buffer (`answer.received` bytes,
    // zero-terminated).
    bool pageKept = false;
    // The saved body was rewritten for offline reading: its length on disk is
    // not the server's, so it cannot be resumed by offset.
    bool rewritten = false;
};

// Runs the transaction in `env`, which becomes the connection's environment.
// The page of a memory transaction is in the connection's `buffer`, its length
// in the answer's `received` (at most kPageBufferLimit, zero-terminated when
// shorter).
FetchResult RunTransaction(HttpConnection& connection, FetchState& state,
                           const FetchRequest& request, DownloadEnvironment& env);

}  // namespace wg
