// The transaction: the request on the wire, the destination of the body, and
// the verdict on what arrived.
#include "net/http_fetch.h"

#include <cctype>
#include <cerrno>
#include <string>
#include <string_view>
#include <utility>

#include "download/save_paths.h"
#include "net/http_response_rules.h"
#include "net/transfer_slots.h"
#include "platform/files.h"
#include "platform/socket.h"
#include "util/text.h"
#include "util/timing.h"

namespace wg {
namespace {

// A file of the "File URL" mode is resumed only when this much is on disk.
constexpr std::uint64_t kFileUrlResumeMinimum = 100000;

bool EndsWithMediaName(std::string_view name) {
    return name.ends_with("jpg") || name.ends_with("mpg") || name.ends_with("wmv");
}

// Sends the request lines; false when a mandatory line failed.
bool SendRequest(HttpConnection& c, const FetchOptions& options, TransferSlot* slot,
                 std::uint32_t resumeFrom) {
    FetchEnvironment& env = *c.environment;
    RequestHead head;
    head.requestLine = RequestLine(c.path, c.requestName, c.protocol);
    head.host = c.host;
    head.resumeOffset = resumeFrom;
    if (options.fileUrlMode && slot != nullptr) {
        // The caller's offset is not used: a large enough file on disk is resumed.
        const std::optional<std::uint64_t> size = env.SizeOnDisk(slot->Url());
        head.resumeOffset = size && *size > kFileUrlResumeMinimum ? *size : 0;
        slot->done = static_cast<std::uint32_t>(head.resumeOffset);
    }
    if (options.sendCookie) {
        head.cookieText = CopyBounded(env.CookiesFor(c.host), kCookieTextCapacity - 1);
    }
    head.userAgent = env.HasApp() ? options.userAgent : std::string(kFallbackUserAgent);
    // The lines go out in one send: the same bytes in one packet.
    std::string block;
    for (const HeadLine& line : RequestHeadLines(head)) {
        block += line.text;
    }
    return c.SendAll(block) >= 0;
}

void DebugIf(HttpConnection& c, const FetchOptions& options, const std::string& text) {
    if (options.logDebug) {
        c.environment->DebugLine(text);
    }
}

// The local name of a file transaction below the download directory; empty
// when the body is to go to memory (no name, or a name that would leave the
// directory).
std::string LocalNameFor(HttpConnection& c, const FetchRequest& request,
                         const FetchOptions& options, bool https) {
    std::optional<std::string_view> saveName;
    if (request.saveName) {
        saveName = *request.saveName;
    }
    std::string local = https ? ComposeHttpsLocalPath(*request.saveDir, saveName, c.name)
                              : ComposeLocalPath(*request.saveDir, saveName, c.name);
    if (!local.empty()) {
        std::string why;
        if (!ContainedPath(local, &why)) {
            c.environment->DebugLine(why);
            return {};
        }
    }
    const std::size_t query = local.find('?');
    if (query != std::string::npos && !options.noDownload && options.webPagesWanted) {
        c.environment->DebugLine("Redirect File : " + local);
        if (!c.environment->MakeDynamicPage(local, query)) {
            local.resize(query);
        }
    }
    return local;
}

// Opens the file of a transaction, trying the described fallbacks.
// The bytes go to the partial file of `local` until the transfer is whole.
// `*error` gets the system error of the last attempt when none succeeded.
platform::FilePtr OpenTransactionFile(HttpConnection& c, std::string& local, bool append,
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
        c.environment->DebugLine(why);
    }
    return file;
}

// The file could not be written: its partial file goes, the item is a disk
// failure and the program hears of it.
void WriteFailed(HttpConnection& c, TransferSlot* slot, const std::string& local, int error) {
    c.file.reset();
    DeletePartialFile(local);
    NoteFailure(slot, FailureKind::Disk, error);
    c.environment->SetLastFailure("The file could not be written.");
    c.environment->DiskWriteFailed(error, local);
    c.closeAfter = true;
}

// Holds a local name for this transaction from its opening to its end.
class LocalFileClaim {
public:
    LocalFileClaim(FetchEnvironment& env, std::string name) : env_(env), name_(std::move(name)) {
        env_.ClaimLocalFile(name_);
    }
    ~LocalFileClaim() { env_.ReleaseLocalFile(name_); }
    LocalFileClaim(const LocalFileClaim&) = delete;
    LocalFileClaim& operator=(const LocalFileClaim&) = delete;

private:
    FetchEnvironment& env_;
    std::string name_;
};

void CloseAndDelete(HttpConnection& c, const std::string& local) {
    c.file.reset();
    DeletePartialFile(local);
}

long FetchOverHttps(HttpConnection& c, const FetchRequest& request, const FetchOptions& options) {
    const std::string url = HttpsUrlFor(c.host, c.path, c.requestName);
    c.requestName = url;
    std::string local;
    if (c.saveToFile) {
        local = LocalNameFor(c, request, options, true);
        if (local.empty()) {
            return 0;
        }
    }
    return HttpsFetch(c, request.slot, url, local, c.saveToFile) ? 1 : 0;
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

long Transaction(HttpConnection& c, const FetchRequest& request);

}  // namespace

FetchResult HttpFetch(HttpConnection& c, const FetchRequest& request) {
    return ResultOf(Transaction(c, request));
}

namespace {

long Transaction(HttpConnection& c, const FetchRequest& request) {
    if (c.connectFailed || !request.name) {
        return -1;
    }
    FetchEnvironment& env = *c.environment;
    const FetchOptions options = env.Options();
    TransferSlot* slot = env.Slot(request.slot);
    // A kept connection that the server has closed since (or that holds bytes
    // nobody asked for) is not used again.
    if (c.HasSocket() &&
        (!c.ReadAhead().empty() || platform::WaitReady(c.Socket().Fd(), true, 0) == 1)) {
        c.Close();
    }
    const bool kept = c.HasSocket();
    if (!c.HasSocket() && !c.secure && !c.Connect(CurrentTiming().connectTimeoutMs)) {
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
    c.buffer[0] = '\0';
    c.received = 0;
    c.writeFailed = false;
    c.rewritten = false;
    c.pageKept = false;
    c.saveToFile = request.saveDir.has_value();
    c.keepPage = request.keepPage && c.saveToFile && request.resumeFrom == 0;
    c.name = CopyBounded(*request.name, kPathFieldCapacity);
    // A name cut to fit would ask the server for another file.
    if (c.name.size() < request.name->size()) {
        NoteFailure(slot, FailureKind::Disk, ENAMETOOLONG);
        env.SetLastFailure("The file's name is too long.");
        env.DiskWriteFailed(ENAMETOOLONG, *request.name);
        return 0;
    }
    c.requestName = RequestNameFor(c.name);

    if (c.protocol.starts_with("HTTPS")) {
        return FetchOverHttps(c, request, options);
    }
    // A kept connection may have been closed by the server just before the
    // request went out; the request is then sent once more on a new one.
    for (bool reused = kept;; reused = false) {
        if (!c.HasSocket()) {
            reused = false;
            if (!c.Connect(CurrentTiming().connectTimeoutMs)) {
                return -1;
            }
        }
        const bool sent = SendRequest(c, options, slot, request.resumeFrom);
        if (!sent && reused) {
            c.Close();
            continue;
        }
        if (!sent) {
            return -1;
        }
        if (ReadResponseHeaders(c, request.expectedTotal, request.slot) >= 0) {
            break;
        }
        if (!(reused && !c.answerStarted && !c.HasSocket())) {
            return c.connectFailed ? -1 : 0;
        }
    }

    std::string local;
    std::optional<LocalFileClaim> claim;
    if (c.saveToFile) {
        if (RefusedBySize(c, request.slot)) {
            return 0;
        }
        if (options.noDownload) {
            c.Close();
            c.contentLength = 0;
            return 0;
        }
        if (request.saveName && c.isHtml && c.contentLength == 0 &&
            EndsWithMediaName(*request.saveName)) {
            NoteFailure(slot, FailureKind::Refused);
            DebugIf(c, options, "File really html: " + c.host + " " + c.path.path + " " + c.name);
            c.contentLength = 0;
            c.Close();
            return 0;
        }
        local = LocalNameFor(c, request, options, false);
        if (local.empty()) {
            c.saveToFile = false;
        } else {
            claim.emplace(env, local);
            const bool append = slot != nullptr && slot->done != 0;
            int error = 0;
            c.file = OpenTransactionFile(c, local, append, &error);
            if (!c.file) {
                // Nothing could be created: nothing usable came of this.
                if (error != 0) {
                    WriteFailed(c, slot, local, error);
                }
                if (c.closeAfter) {
                    c.Close();
                }
                return error != 0 ? -1 : 0;
            }
        }
    }

    long body = 0;
    if (!c.connectFailed) {
        body = ReceiveBody(c, request.slot);
    }

    const bool fileOpen = c.file != nullptr;
    const bool incomplete = c.contentLength != 0 && c.contentLength > c.received;
    // Nothing (or one byte) arrived; or a whole file came out too small, or
    // was an HTML page in place of another kind of file.
    const bool judgedAsFile =
        fileOpen && c.saveToFile && !incomplete && body > 0 && !options.fileUrlMode;
    const bool refused =
        c.received <= 1 || (judgedAsFile && (body < options.minFileSize || body == 1));

    if (fileOpen && c.writeFailed) {
        WriteFailed(c, slot, local, c.lastError);
        body = -1;
    } else if (refused) {
        NoteFailure(slot, incomplete ? FailureKind::Cut : FailureKind::Refused);
        if (body < options.minFileSize) {
            DebugIf(c, options, "DL File Too Small: " + c.name);
            env.SetLastFailure("File too small. See options.");
        } else if (c.received == 0) {
            DebugIf(c, options, "Zero byte file: " + c.name);
            env.SetLastFailure("Zero byte file.");
        } else {
            DebugIf(c, options, "Rejected: " + c.name);
            env.SetLastFailure("Rejected file.");
        }
        if (fileOpen) {
            CloseAndDelete(c, local);
        }
    } else if (fileOpen) {
        // Buffered bytes meet a full disk only here.
        if (const int error = platform::CloseFile(c.file); error != 0) {
            WriteFailed(c, slot, local, error);
            if (c.closeAfter && c.HasSocket()) {
                c.Close();
            }
            return -1;
        }
        // A whole file takes its own name; a cut one waits under its partial
        // name for the resume.
        bool whole = !incomplete;
        // A cut body whose wait ran out for a reason of its own says so.
        if (incomplete && (slot == nullptr || slot->failure.load() == FailureKind::None)) {
            NoteFailure(slot, FailureKind::Cut);
        }
        if (whole) {
            if (const int error = CommitPartialFile(local); error != 0) {
                WriteFailed(c, slot, local, error);
                if (c.closeAfter && c.HasSocket()) {
                    c.Close();
                }
                return -1;
            }
        }
        if (whole && !c.connectFailed && c.received > 1 && env.HasApp()) {
            if (!options.fileUrlMode && env.IsRuntimeDuplicate(local)) {
                env.SetLastFailure("Duplicate File Found.");
                body = 0;
            } else {
                env.CountDownload(c.received);
                if (slot != nullptr) {
                    slot->saved = true;
                }
                if (!options.webPagesWanted || options.trackLastDownload) {
                    env.NoteLastDownload(local);
                }
            }
        }
    }
    if (c.closeAfter && c.HasSocket()) {
        c.Close();
    }
    return body;
}

}  // namespace
}  // namespace wg
