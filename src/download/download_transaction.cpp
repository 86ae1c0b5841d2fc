#include "download/download_transaction.h"

#include <cerrno>
#include <string>
#include <string_view>

#include "download/save_paths.h"
#include "download/transaction_files.h"
#include "net/http_fetch.h"
#include "net/http_response_rules.h"
#include "net/transfer_slots.h"
#include "platform/files.h"
#include "util/text.h"
#include "util/timing.h"

namespace wg {
namespace {

// A file of the "File URL" mode is resumed only when this much is on disk.
constexpr std::uint64_t kFileUrlResumeMinimum = 100000;

bool EndsWithMediaName(std::string_view name) {
    return name.ends_with("jpg") || name.ends_with("mpg") || name.ends_with("wmv");
}

void DebugIf(DownloadEnvironment& env, const FetchOptions& options, const std::string& text) {
    if (options.logDebug) {
        env.DebugLine(text);
    }
}

// The transaction's verdict as a count: -1 unusable, 0 nothing, else the body size.
FetchResult ResultOf(long body) {
    if (body < 0) {
        return {FetchOutcome::Unusable, 0};
    }
    if (body == 0) {
        return {FetchOutcome::Nothing, 0};
    }
    return {FetchOutcome::Body, static_cast<std::uint32_t>(body)};
}

// The https transaction: 1 when the answer was taken (an empty answer too),
// 0 when the request failed or was refused. No range, no size limits, no HTML
// test and no rewriting; an answer whose final status is not a success is
// refused and leaves nothing behind.
long HttpsTransaction(HttpConnection& c, HttpAnswer& answer, DownloadEnvironment& env,
                      const FetchRequest& request, const FetchOptions& options,
                      const std::string& name, bool toFile) {
    const std::string url = HttpsUrlFor(c.host, c.path, RequestNameFor(name));
    std::string local;
    if (toFile) {
        local = LocalNameFor(name, env, request, options, true);
        if (local.empty()) {
            return 0;
        }
    }
    TransferSlot* slot = env.Slot(request.slot);
    HttpsFileSink sink(local);
    const TlsResult result = HttpsExchange(c, request.slot, url, answer, toFile ? &sink : nullptr);
    const bool wroteFile = sink.file != nullptr;
    if (const int error = platform::CloseFile(sink.file); error != 0 && !sink.writeFailed) {
        sink.error = error;
        sink.writeFailed = true;
    }
    if (!sink.why.empty() && !wroteFile) {
        env.DebugLine(sink.why);
    }
    const bool success = result.Ok() && result.status >= 200 && result.status < 300;
    if (sink.writeFailed) {
        DeletePartialFile(local);
        NoteFailure(slot, FailureKind::Disk, sink.error);
        env.SetLastFailure("The file could not be written.");
        env.DiskWriteFailed(sink.error, local);
        return 0;
    }
    if (!success) {
        NoteHttpsFailure(c, request.slot, result);
    }
    if (!toFile) {
        EndHttpsPage(c, answer, success);
        return success ? 1 : 0;
    }
    if (!success) {
        // A file that did not arrive whole cannot be resumed over https.
        if (wroteFile) {
            DeletePartialFile(local);
        }
        return 0;
    }
    if (wroteFile) {
        if (const int error = CommitPartialFile(local); error != 0) {
            DeletePartialFile(local);
            NoteFailure(slot, FailureKind::Disk, error);
            env.DiskWriteFailed(error, local);
            return 0;
        }
        env.FileSaved(local);
    }
    if (wroteFile && answer.received > 0 && env.HasApp()) {
        env.CountDownload(answer.received);
        if (slot != nullptr) {
            slot->saved = true;
        }
        env.NoteLastDownload(local);
    }
    return 1;
}

long Transaction(HttpConnection& c, FetchState& state, const FetchRequest& request,
                 DownloadEnvironment& env) {
    if (c.connectFailed || !request.name) {
        return -1;
    }
    const FetchOptions options = env.Options();
    TransferSlot* slot = env.Slot(request.slot);
    const bool kept = KeepOpenConnection(c);
    if (!c.HasSocket() && !c.secure && !c.Connect(c.timing.connectTimeoutMs)) {
        if (slot != nullptr) {
            slot->connected = false;
        }
        return -1;
    }
    if (slot != nullptr) {
        slot->cancel = false;
        slot->connected = true;
        slot->connection = &c;
        slot->done = request.resumeFrom;
        slot->status = 0;
    }
    HttpAnswer& answer = state.answer;
    c.buffer[0] = '\0';
    answer.received = 0;
    state.rewritten = false;
    state.pageKept = false;
    bool toFile = request.saveDir.has_value();  // the body is to be saved
    const bool keepPage = request.keepPage && toFile && request.resumeFrom == 0;
    const std::string name = CopyBounded(*request.name, kPathFieldCapacity);
    // A name cut to fit would ask the server for another file.
    if (name.size() < request.name->size()) {
        NoteFailure(slot, FailureKind::Disk, ENAMETOOLONG);
        env.SetLastFailure("The file's name is too long.");
        env.DiskWriteFailed(ENAMETOOLONG, *request.name);
        return 0;
    }
    if (c.protocol.starts_with("HTTPS")) {
        return HttpsTransaction(c, answer, env, request, options, name, toFile);
    }
    HttpGet get;
    get.requestName = RequestNameFor(name);
    get.expectedTotal = request.expectedTotal;
    // The caller's offset, or in the "File URL" mode the size of a large
    // enough file on disk.
    get.resumeOffset = [&]() -> std::uint64_t {
        if (!options.fileUrlMode || slot == nullptr) {
            return request.resumeFrom;
        }
        const std::optional<std::uint64_t> size = env.SizeOnDisk(slot->Url());
        const std::uint64_t offset = size && *size > kFileUrlResumeMinimum ? *size : 0;
        slot->done = static_cast<std::uint32_t>(offset);
        return offset;
    };
    FileSink fileSink(c, answer, name, env, options, slot, keepPage);
    PageBufferSink pageSink(c, answer);
    switch (RequestAnswer(c, get, options, request.slot, kept, answer,
                          toFile ? static_cast<BodySink&>(fileSink) : pageSink)) {
        case AnswerOutcome::Head:
            break;
        case AnswerOutcome::Unusable:
            return -1;
        case AnswerOutcome::Refused:
            return 0;
    }

    std::string local;
    std::optional<LocalFileClaim> claim;
    if (toFile) {
        if (RefusedByLength(c, answer, fileSink)) {
            return 0;
        }
        if (options.noDownload) {
            c.Close();
            answer.contentLength = 0;
            return 0;
        }
        if (request.saveName && answer.isHtml && answer.contentLength == 0 &&
            EndsWithMediaName(*request.saveName)) {
            NoteFailure(slot, FailureKind::Refused);
            DebugIf(env, options, "File really html: " + c.host + " " + c.path.path + " " + name);
            answer.contentLength = 0;
            c.Close();
            return 0;
        }
        local = LocalNameFor(name, env, request, options, false);
        if (local.empty()) {
            toFile = false;
        } else {
            claim.emplace(env, local);
            const bool append = slot != nullptr && slot->done != 0;
            int error = 0;
            fileSink.file = OpenTransactionFile(env, local, append, &error);
            if (!fileSink.file) {
                // Nothing could be created: nothing usable came of this.
                if (error != 0) {
                    FileWriteFailed(answer, env, slot, local, error);
                }
                if (answer.closeAfter) {
                    c.Close();
                }
                return error != 0 ? -1 : 0;
            }
        }
    }

    const bool fileOpen = fileSink.file != nullptr;
    // The body's verdict as a count: -1 when it failed, 1 when the sink
    // refused it, else the bytes held.
    long body = 0;
    if (!c.connectFailed) {
        switch (ReceiveBody(c, request.slot, answer,
                            fileOpen ? static_cast<BodySink&>(fileSink) : pageSink)) {
            case BodyOutcome::Ended:
                body = static_cast<long>(answer.received);
                break;
            case BodyOutcome::Refused:
                body = 1;
                break;
            case BodyOutcome::Failed:
                body = -1;
                break;
        }
        state.rewritten = fileSink.rewritten;
        state.pageKept = fileOpen && body >= 0 && fileSink.PageKept();
    }

    const bool incomplete = answer.contentLength != 0 && answer.contentLength > answer.received;
    // Nothing (or one byte) arrived; or a whole file came out too small, or
    // was an HTML page in place of another kind of file.
    const bool judgedAsFile = fileOpen && toFile && !incomplete && body > 0 && !options.fileUrlMode;
    const bool refused =
        answer.received <= 1 || (judgedAsFile && (body < options.minFileSize || body == 1));

    if (fileOpen && fileSink.writeFailed) {
        fileSink.file.reset();
        FileWriteFailed(answer, env, slot, local, fileSink.error);
        body = -1;
    } else if (refused) {
        NoteFailure(slot, incomplete ? FailureKind::Cut : FailureKind::Refused);
        if (body < options.minFileSize) {
            DebugIf(env, options, "DL File Too Small: " + name);
            env.SetLastFailure("File too small. See options.");
        } else if (answer.received == 0) {
            DebugIf(env, options, "Zero byte file: " + name);
            env.SetLastFailure("Zero byte file.");
        } else {
            DebugIf(env, options, "Rejected: " + name);
            env.SetLastFailure("Rejected file.");
        }
        if (fileOpen) {
            fileSink.file.reset();
            DeletePartialFile(local);
        }
    } else if (fileOpen) {
        // Buffered bytes meet a full disk only here.
        if (const int error = platform::CloseFile(fileSink.file); error != 0) {
            FileWriteFailed(answer, env, slot, local, error);
            if (answer.closeAfter && c.HasSocket()) {
                c.Close();
            }
            return -1;
        }
        // A whole file takes its own name; a cut one waits under its partial
        // name for the resume.
        const bool whole = !incomplete;
        // A cut body whose wait ran out for a reason of its own says so.
        if (incomplete && (slot == nullptr || slot->failure.load() == FailureKind::None)) {
            NoteFailure(slot, FailureKind::Cut);
        }
        if (whole) {
            if (const int error = CommitPartialFile(local); error != 0) {
                FileWriteFailed(answer, env, slot, local, error);
                if (answer.closeAfter && c.HasSocket()) {
                    c.Close();
                }
                return -1;
            }
            env.FileSaved(local);
        }
        if (whole && !c.connectFailed && answer.received > 1 && env.HasApp()) {
            if (!options.fileUrlMode && env.IsRuntimeDuplicate(local)) {
                env.SetLastFailure("Duplicate File Found.");
                body = 0;
            } else {
                env.CountDownload(answer.received);
                if (slot != nullptr) {
                    slot->saved = true;
                }
                if (!options.webPagesWanted || options.trackLastDownload) {
                    env.NoteLastDownload(local);
                }
            }
        }
    }
    if (answer.closeAfter && c.HasSocket()) {
        c.Close();
    }
    return body;
}

}  // namespace

FetchResult RunTransaction(HttpConnection& c, FetchState& state, const FetchRequest& request,
                           DownloadEnvironment& env) {
    c.environment = &env;
    return ResultOf(Transaction(c, state, request, env));
}

}  // namespace wg
