// The local file of a transaction: its name below the download directory, its
// partial file (".wgpart") and the claim on its name, and the sinks through
// which a body reaches it (with the HTML test of files and the offline
// rewriting of saved pages).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "download/download_environment.h"
#include "download/rewrite_links.h"
#include "net/body_sink.h"
#include "net/http_answer.h"
#include "net/http_connection.h"
#include "platform/files.h"

namespace wg {

struct FetchRequest;
struct TransferSlot;

// The local name of a file transaction for `name` (the name asked for) below
// the download directory; empty when the body is to go to memory (no name, or
// a name that would leave the directory). A query page may get a name of its
// own.
std::string LocalNameFor(std::string_view name, DownloadEnvironment& env,
                         const FetchRequest& request, const FetchOptions& options, bool https);

// Opens the partial file of `local` (appending when `append`), trying the
// described fallbacks (a name without its last character when that is not
// alphanumeric, then with its directories created). `*error` gets the system
// error of the last attempt when none succeeded.
platform::FilePtr OpenTransactionFile(DownloadEnvironment& env, std::string& local, bool append,
                                      int* error);

// The file could not be written: its partial file goes, the item is a disk
// failure, the program hears of it and the connection is closed after the
// answer.
void FileWriteFailed(HttpAnswer& answer, DownloadEnvironment& env, TransferSlot* slot,
                     const std::string& local, int error);

// Holds a local name for a transaction from its opening to its end.
class LocalFileClaim {
public:
    LocalFileClaim(DownloadEnvironment& env, std::string name);
    ~LocalFileClaim();
    LocalFileClaim(const LocalFileClaim&) = delete;
    LocalFileClaim& operator=(const LocalFileClaim&) = delete;

private:
    DownloadEnvironment& env_;
    std::string name_;
};

// Where a plain body goes that is to be saved: chunk by chunk into the open
// partial file (rewritten for offline reading when it is a page that the crawl
// saves; a link split between two chunks is rewritten whole), refused when an
// HTML page comes in place of another kind of file, and kept in the
// connection's buffer too while it fits when the request asks for that.
// `name` is the name asked for.
class FileSink final : public BodySink {
public:
    FileSink(HttpConnection& connection, HttpAnswer& answer, std::string name,
             DownloadEnvironment& env, const FetchOptions& options, TransferSlot* slot,
             bool keepPage);

    // The size limits against the announced length.
    bool RefusesLength(const HttpAnswer& answer) override;
    void Begin() override;
    std::span<char> Space() override;
    SinkVerdict Take(std::string_view bytes) override;
    bool Finish() override;

    // The body stayed in the connection's buffer whole, from its first byte.
    bool PageKept() const { return keep_ && fill_ == answer_.received; }

    platform::FilePtr file;
    bool writeFailed = false;  // writing the file failed (disk full, ...)
    int error = 0;             // the system error of that failure
    // The saved body was rewritten: its length on disk is not the server's.
    bool rewritten = false;

private:
    bool Write(std::string_view bytes);

    HttpConnection& connection_;
    HttpAnswer& answer_;
    const std::string name_;
    DownloadEnvironment& env_;
    const FetchOptions options_;
    TransferSlot* slot_;
    const bool keepPage_;
    bool keep_ = false;
    bool html_ = false;
    std::size_t fill_ = 0;
    std::unique_ptr<PageRewriter> rewriter_;
    std::string out_;
};

// Where an https body goes that is to be saved: its partial file, opened when
// the first bytes come. No HTML test and no rewriting.
class HttpsFileSink final : public BodySink {
public:
    explicit HttpsFileSink(std::string local) : local_(std::move(local)) {}

    std::span<char> Space() override { return {}; }
    SinkVerdict Take(std::string_view bytes) override;

    platform::FilePtr file;
    bool writeFailed = false;
    int error = 0;
    std::string why;  // what refused the file's name, for the debug log

private:
    std::string local_;
    bool opened_ = false;
};

}  // namespace wg
