#include "download/transaction_files.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>

#include "download/download_transaction.h"
#include "download/save_paths.h"
#include "net/transfer_slots.h"
#include "settings/type_filters.h"
#include "util/text.h"

namespace wg {
namespace {

constexpr std::size_t kSniffBytes = 400;

bool LooksLikeHtml(std::string_view chunk) {
    const std::string_view head = chunk.substr(0, std::min(chunk.size(), kSniffBytes));
    return FindNoCaseLower(head, "<html") != std::string_view::npos ||
           FindNoCaseLower(head, "<!doctype html") != std::string_view::npos;
}

// The requested name has an extension (from its first '.') that is not a web page's.
bool NamedAsOtherFile(std::string_view name) {
    const std::size_t dot = name.find('.');
    return dot != std::string_view::npos && !IsWebPageExtension(name, dot);
}

}  // namespace

std::string LocalNameFor(std::string_view name, DownloadEnvironment& env,
                         const FetchRequest& request, const FetchOptions& options, bool https) {
    std::optional<std::string_view> saveName;
    if (request.saveName) {
        saveName = *request.saveName;
    }
    std::string local = https ? ComposeHttpsLocalPath(*request.saveDir, saveName, name)
                              : ComposeLocalPath(*request.saveDir, saveName, name);
    if (!local.empty()) {
        std::string why;
        if (!ContainedPath(local, &why)) {
            env.DebugLine(why);
            return {};
        }
    }
    const std::size_t query = local.find('?');
    if (query != std::string::npos && !options.noDownload && options.webPagesWanted) {
        env.DebugLine("Redirect File : " + local);
        if (!env.MakeDynamicPage(local, query)) {
            local.resize(query);
        }
    }
    return local;
}

platform::FilePtr OpenTransactionFile(DownloadEnvironment& env, std::string& local, bool append,
                                      int* error) {
    std::string why;
    platform::FilePtr file = OpenFileSafe(PartialNameOf(local), append ? "a+b" : "wb", &why, error);
    if (!file && !local.empty() && !std::isalnum(static_cast<unsigned char>(local.back()))) {
        const char last = local.back();
        local.pop_back();
        file = OpenFileSafe(PartialNameOf(local), "wb", &why, error);
        if (!file) {
            local += last;
        }
    }
    if (!file) {
        CreateDirectoriesFor(local, &why);
        file = OpenFileSafe(PartialNameOf(local), "wb", &why, error);
    }
    if (!file && !why.empty()) {
        env.DebugLine(why);
    }
    return file;
}

void FileWriteFailed(HttpAnswer& answer, DownloadEnvironment& env, TransferSlot* slot,
                     const std::string& local, int error) {
    DeletePartialFile(local);
    NoteFailure(slot, FailureKind::Disk, error);
    env.SetLastFailure("The file could not be written.");
    env.DiskWriteFailed(error, local);
    answer.closeAfter = true;
}

LocalFileClaim::LocalFileClaim(DownloadEnvironment& env, std::string name)
    : env_(env), name_(std::move(name)) {
    env_.ClaimLocalFile(name_);
}

LocalFileClaim::~LocalFileClaim() {
    env_.ReleaseLocalFile(name_);
}

FileSink::FileSink(HttpConnection& connection, HttpAnswer& answer, std::string name,
                   DownloadEnvironment& env, const FetchOptions& options, TransferSlot* slot,
                   bool keepPage)
    : connection_(connection),
      answer_(answer),
      name_(std::move(name)),
      env_(env),
      options_(options),
      slot_(slot),
      keepPage_(keepPage) {}

bool FileSink::RefusesLength(const HttpAnswer& answer) {
    const std::uint32_t length = answer.contentLength;
    if (options_.fileUrlMode || length == 0) {
        return false;
    }
    const bool tooSmall =
        options_.minFileSize > 0 && length < static_cast<std::uint32_t>(options_.minFileSize);
    const bool tooLarge =
        options_.maxFileSize > 0 && length > static_cast<std::uint32_t>(options_.maxFileSize);
    if (!tooSmall && !tooLarge) {
        return false;
    }
    NoteFailure(slot_, FailureKind::Refused);
    if (options_.logDebug) {
        env_.DebugLine((tooSmall ? "File Too Small: " : "File Too Large: ") + name_);
    }
    env_.SetLastFailure(tooSmall ? "File too small. See options." : "File too large. See options.");
    return true;
}

void FileSink::Begin() {
    // A file's body stays in the buffer while it fits, when the caller wants
    // to read it as a page too.
    keep_ = file != nullptr && keepPage_ && answer_.received == 0;
    html_ = false;
    fill_ = 0;
}

std::span<char> FileSink::Space() {
    if (fill_ >= kPageBufferLimit) {
        return {};
    }
    return {connection_.buffer.data() + fill_, kPageBufferLimit - fill_};
}

bool FileSink::Write(std::string_view bytes) {
    if (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size()) {
        return true;
    }
    error = errno;
    answer_.closeAfter = true;
    writeFailed = true;
    return false;
}

SinkVerdict FileSink::Take(std::string_view bytes) {
    const HttpConnection& c = connection_;
    HttpAnswer& answer = answer_;
    std::size_t length = bytes.size();
    if (answer.contentLength != 0 && answer.received > answer.contentLength) {
        length -= answer.received - answer.contentLength;  // the surplus is not written
        answer.received = answer.contentLength;
    }
    const std::string_view chunk = bytes.substr(0, length);
    const bool firstChunk = answer.received == length;
    if ((firstChunk || html_) && (html_ || LooksLikeHtml(chunk))) {
        if (!options_.webPagesWanted && NamedAsOtherFile(name_)) {
            NoteFailure(slot_, FailureKind::Refused);
            return SinkVerdict::Refused;
        }
        html_ = true;
        if (options_.webPagesWanted && !rewriter_) {
            PageLocation page;
            page.host = c.host;
            page.path = c.path.path;
            page.name = name_;
            page.depth = c.path.depth;
            page.topLevel = name_.find('/') == std::string::npos && c.path.path.empty();
            page.secure = c.secure;
            if (c.port != (c.secure ? "443" : "80")) {
                page.hostAsWritten = c.host + ":" + c.port;
            }
            rewriter_ = env_.StartRewrite(page);
            rewritten = rewriter_ != nullptr;
        }
    }
    if (rewriter_) {
        out_.clear();
        rewriter_->Chunk(chunk, out_);
    }
    if (!Write(rewriter_ ? std::string_view(out_) : chunk)) {
        return SinkVerdict::Failed;
    }
    if (keep_) {
        fill_ += length;
        if (fill_ >= kPageBufferLimit) {
            keep_ = false;  // too big to be read as a page: fetched again for that
            fill_ = 0;
        }
    }
    return SinkVerdict::Continue;
}

bool FileSink::Finish() {
    if (!rewriter_) {
        return true;
    }
    out_.clear();
    rewriter_->Finish(out_);
    return Write(out_);
}

SinkVerdict HttpsFileSink::Take(std::string_view bytes) {
    if (!opened_) {
        opened_ = true;
        file = OpenFileSafe(PartialNameOf(local_), "wb", &why, &error);
        if (!file) {
            CreateDirectoriesFor(local_, &why);
            file = OpenFileSafe(PartialNameOf(local_), "wb", &why, &error);
        }
        if (!file && error != 0) {
            writeFailed = true;
            return SinkVerdict::Failed;
        }
    }
    if (file && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
        error = errno;
        writeFailed = true;
        return SinkVerdict::Failed;
    }
    return SinkVerdict::Continue;
}

}  // namespace wg
