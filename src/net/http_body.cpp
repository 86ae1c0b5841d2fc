// The body of an answer: into the page buffer, or chunk by chunk into the open
// file, with the HTML test of files, the offline rewriting of saved pages (a
// link split between two chunks is rewritten whole), and the stop, cancel and
// wait rules.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "net/http_fetch.h"
#include "net/transfer_slots.h"
#include "platform/clock.h"
#include "settings/type_filters.h"
#include "util/text.h"
#include "util/timing.h"

namespace wg {
namespace {

std::int64_t NowMs() {
    return static_cast<std::int64_t>(platform::SteadyMilliseconds());
}

}  // namespace
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

long ReceiveBody(HttpConnection& c, int slotIndex) {
    FetchEnvironment& env = *c.environment;
    const FetchOptions options = env.Options();
    TransferSlot* slot = env.Slot(slotIndex);
    const Timing& timing = CurrentTiming();
    const bool toFile = c.file != nullptr;

    std::int64_t lastChunk = NowMs();
    // A body slower than MIN_BODY_RATE over a whole window is given up.
    std::int64_t windowStart = lastChunk;
    std::uint32_t windowBytes = 0;
    auto tooSlow = [&] {
        if (options.minBodyRate <= 0) {
            return false;
        }
        const std::int64_t now = NowMs();
        if (now - windowStart < timing.slowBodyWindowMs) {
            return false;
        }
        const std::uint64_t floor = static_cast<std::uint64_t>(options.minBodyRate) *
                                    static_cast<std::uint64_t>(now - windowStart) / 1000;
        if (c.received - windowBytes < floor) {
            NoteFailure(slot, FailureKind::Timeout);
            env.SetLastFailure("The server sent the file too slowly.");
            c.closeAfter = true;
            return true;
        }
        windowStart = now;
        windowBytes = c.received;
        return false;
    };
    if (slot != nullptr) {
        c.received = slot->done;
        slot->total = c.contentLength;
    } else {
        c.received = 0;
    }
    windowBytes = c.received;
    std::size_t fill = 0;
    // A file's body stays in the buffer while it fits, when the caller wants
    // to read it as a page too.
    bool keep = toFile && c.keepPage && c.received == 0;
    bool html = false;
    char* const buffer = c.buffer.data();
    std::unique_ptr<PageRewriter> rewriter;
    std::string rewritten;
    auto write = [&](std::string_view bytes) {
        if (bytes.empty() ||
            std::fwrite(bytes.data(), 1, bytes.size(), c.file.get()) == bytes.size()) {
            return true;
        }
        c.lastError = errno;
        c.closeAfter = true;
        c.writeFailed = true;
        return false;
    };
    // What the rewriter still holds goes to the file when the body ends.
    auto finish = [&](long result) {
        if (rewriter) {
            rewritten.clear();
            rewriter->Finish(rewritten);
            if (!write(rewritten)) {
                return -1L;
            }
        }
        return result;
    };

    while (true) {
        if (!c.HasSocket()) {
            c.closeAfter = true;
            return finish(-1);
        }
        long n = 0;
        int error = 0;
        char* const chunk = buffer + fill;
        if (fill < kPageBufferLimit) {
            n = c.Receive(chunk, kPageBufferLimit - fill, timing.bodyPollMs, &error);
            if (n < 0 && error != ETIMEDOUT) {
                c.lastError = error;
                c.closeAfter = true;
                return finish(-1);
            }
        }
        if (n < 0) {
            // Quiet for a poll: give up after the body wait, on cancel or stop.
            if (NowMs() - lastChunk > timing.bodyWaitMs || (slot != nullptr && slot->cancel) ||
                env.StopRequested() || tooSlow()) {
                c.closeAfter = true;
                break;
            }
            continue;
        }
        if (n == 0) {
            // Closed by the server, or the page buffer is full.
            if (c.received == 0 || c.contentLength == 0) {
                break;
            }
            if (c.received >= c.contentLength) {
                break;
            }
            // A server that closed in order sends nothing more on this
            // connection: the rest is asked for on a new one.
            if (fill < kPageBufferLimit) {
                c.closeAfter = true;
                break;
            }
            const std::int64_t quiet = NowMs() - lastChunk;
            if (quiet > timing.bodyWaitMs || (slot != nullptr && slot->cancel) ||
                (slot != nullptr && slot->status != 200 && quiet > timing.nonOkBodyWaitMs)) {
                c.closeAfter = true;
                break;
            }
            platform::SleepMs(timing.bodyPollMs);
            continue;
        }

        std::size_t length = static_cast<std::size_t>(n);
        c.received += static_cast<std::uint32_t>(length);
        if (toFile) {
            if (c.contentLength != 0 && c.received > c.contentLength) {
                length -= c.received - c.contentLength;  // the surplus is not written
                c.received = c.contentLength;
            }
            const bool firstChunk = c.received == length;
            if ((firstChunk || html) && (html || LooksLikeHtml({chunk, length}))) {
                if (!options.webPagesWanted && NamedAsOtherFile(c.name)) {
                    NoteFailure(slot, FailureKind::Refused);
                    return 1;
                }
                html = true;
                if (options.webPagesWanted && !rewriter) {
                    PageLocation page;
                    page.host = c.host;
                    page.path = c.path.path;
                    page.name = c.name;
                    page.depth = c.path.depth;
                    page.topLevel = c.name.find('/') == std::string::npos && c.path.path.empty();
                    page.secure = c.secure;
                    if (c.port != (c.secure ? "443" : "80")) {
                        page.hostAsWritten = c.host + ":" + c.port;
                    }
                    rewriter = env.StartRewrite(page);
                    c.rewritten = rewriter != nullptr;
                }
            }
            if (rewriter) {
                rewritten.clear();
                rewriter->Chunk({chunk, length}, rewritten);
            }
            if (!write(rewriter ? std::string_view(rewritten) : std::string_view(chunk, length))) {
                return -1;
            }
            if (keep) {
                fill += length;
                if (fill >= kPageBufferLimit) {
                    keep = false;  // too big to be read as a page: fetched again for that
                    fill = 0;
                }
            }
        } else {
            if (c.received >= kPageBufferLimit) {
                break;
            }
            fill = c.received;
        }

        if (env.StopRequested() || (c.contentLength != 0 && c.received >= c.contentLength)) {
            break;
        }
        if (tooSlow()) {
            break;
        }
        if (slot != nullptr) {
            if (slot->cancel) {
                c.Close();
                break;
            }
            slot->done = c.received;
        }
        lastChunk = NowMs();
    }
    if (c.received < kPageBufferLimit) {
        buffer[c.received] = '\0';
    }
    c.pageKept = keep && fill == c.received;
    return finish(static_cast<long>(c.received));
}

}  // namespace wg
