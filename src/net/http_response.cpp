// The answer's status line and header lines: which statuses are taken, the
// announced size and its limits, redirects handed to the queues, cookies.
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "net/http_fetch.h"
#include "net/http_response_rules.h"
#include "net/transfer_slots.h"
#include "platform/clock.h"
#include "settings/type_filters.h"
#include "util/pause.h"
#include "util/text.h"
#include "util/timing.h"

namespace wg {
namespace {

std::int64_t NowMs() {
    return static_cast<std::int64_t>(platform::SteadyMilliseconds());
}

}  // namespace

std::uint32_t LeadingNumber(std::string_view text) {
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > std::numeric_limits<std::uint32_t>::max()) {
            return std::numeric_limits<std::uint32_t>::max();
        }
    }
    return static_cast<std::uint32_t>(value);
}

bool AcceptedStatus(int status) {
    return status == 200 || status == 206 || status == 301 || status == 302;
}

std::string RefusedUrlText(const HttpConnection& c) {
    if (c.path.path.empty()) {
        return c.host + "/" + c.requestName;
    }
    return c.host + "/" + c.path.path + "/" + c.requestName;
}

std::string RedirectTarget(const HttpConnection& c, std::string_view value) {
    if (value.find(':') != std::string_view::npos) {
        return std::string(value);
    }
    const bool https = c.protocol.starts_with("HTTPS");
    std::string url = https ? "https://" : "http://";
    url += c.host;
    // A server on another port than its scheme's own is reached there again.
    if (!c.port.empty() && c.port != (https ? "443" : "80")) {
        url += ':';
        url += c.port;
    }
    if (!value.starts_with('/')) {
        url += '/';
        if (!c.path.path.empty()) {
            url += c.path.path;
            url += '/';
        }
    }
    url += value;
    return url;
}

namespace {

constexpr std::size_t kHeaderLineLimit = 511;
constexpr std::uint64_t kHeaderBudget = 1000000;

enum class LineRead { Line, Timeout, Broken };

// One header line, taken from the bytes read ahead in blocks; what follows
// the header block stays there for the body.
LineRead ReadHeaderLine(HttpConnection& c, std::string& line) {
    line.clear();
    const int waitMs = CurrentTiming().headerByteWaitMs;
    while (line.size() < kHeaderLineLimit) {
        int error = 0;
        const long n = c.FillAhead(waitMs, &error);
        if (n < 0 && error == ETIMEDOUT) {
            return LineRead::Timeout;
        }
        if (n <= 0) {
            c.lastError = error;
            return LineRead::Broken;
        }
        c.answerStarted = true;
        const std::string_view ahead = c.ReadAhead();
        const std::size_t room = kHeaderLineLimit - line.size();
        const std::size_t lineFeed = ahead.substr(0, room).find('\n');
        const std::size_t take =
            lineFeed == std::string_view::npos ? std::min(room, ahead.size()) : lineFeed + 1;
        line.append(ahead.substr(0, take));
        c.TakeAhead(take);
        if (lineFeed != std::string_view::npos) {
            break;
        }
    }
    return LineRead::Line;
}

std::string_view WithoutLineEnd(std::string_view text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) {
        text.remove_suffix(1);
    }
    return text;
}

void HandleRedirect(HttpConnection& c, std::string_view line) {
    FetchEnvironment& env = *c.environment;
    std::string_view value = WithoutLineEnd(line).substr(9);
    while (!value.empty() && value.front() == ' ') {
        value.remove_prefix(1);
    }
    const std::string url = RedirectTarget(c, value);
    const std::size_t dot = url.rfind('.');
    const bool webPage = dot != std::string::npos && IsWebPageExtension(url, dot);
    if (value.find(':') == std::string_view::npos) {
        if (webPage) {
            env.QueuePage(url, c.domain);
        }
    } else if (webPage && line.find("404") == std::string_view::npos &&
               env.Options().scopeFollowsLinks) {
        env.QueuePage(url, c.domain);
    }
    env.OfferDownload(url, c.domain);
    c.redirected = true;
}

// Refuses a file by its announced size; true when refused.
bool RefuseBySize(HttpConnection& c, const FetchOptions& options, TransferSlot* slot) {
    const std::uint32_t length = c.contentLength;
    if (!c.saveToFile || options.fileUrlMode || length == 0) {
        return false;
    }
    const bool tooSmall =
        options.minFileSize > 0 && length < static_cast<std::uint32_t>(options.minFileSize);
    const bool tooLarge =
        options.maxFileSize > 0 && length > static_cast<std::uint32_t>(options.maxFileSize);
    if (!tooSmall && !tooLarge) {
        return false;
    }
    FetchEnvironment& env = *c.environment;
    NoteFailure(slot, FailureKind::Refused);
    if (options.logDebug) {
        env.DebugLine((tooSmall ? "File Too Small: " : "File Too Large: ") + c.name);
    }
    env.SetLastFailure(tooSmall ? "File too small. See options." : "File too large. See options.");
    c.contentLength = 0;
    c.redirected = true;
    c.Close();
    return true;
}

}  // namespace

bool RefusedBySize(HttpConnection& c, int slotIndex) {
    return RefuseBySize(c, c.environment->Options(), c.environment->Slot(slotIndex));
}

long ReadResponseHeaders(HttpConnection& c, std::uint32_t expectedTotal, int slotIndex) {
    FetchEnvironment& env = *c.environment;
    const FetchOptions options = env.Options();
    TransferSlot* slot = env.Slot(slotIndex);
    const Timing& timing = CurrentTiming();

    c.contentLength = 0;
    c.closeAfter = false;
    c.serverCloses = false;
    c.isHtml = false;
    c.redirected = false;
    c.answerStarted = false;
    int status = 400;
    std::uint32_t resumeOffset = 0;  // the slot's offset when the status line came
    std::uint32_t rangeTotal = 0;    // the total a Content-Range line states
    const std::int64_t start = NowMs();
    std::uint64_t headerBytes = 0;

    // A 206 answer counts from the resume offset, so that the file is complete
    // when resume offset plus remainder have arrived.
    auto finish = [&]() -> long {
        if (status == 206 && resumeOffset != 0 && rangeTotal != 0) {
            c.contentLength = rangeTotal;
        }
        return static_cast<long>(headerBytes);
    };

    bool statusSeen = false;
    // An answer without a status line is not HTTP: nothing of it is kept.
    auto notHttp = [&]() -> long {
        NoteFailure(slot, FailureKind::Protocol);
        env.SetLastFailure("The server's answer was not HTTP.");
        c.redirected = true;
        c.Close();
        return -1;
    };

    std::string line;
    while (true) {
        // However the bytes trickle in, the header block has a deadline.
        if (NowMs() - start > options.headerTimeoutMs) {
            NoteFailure(slot, FailureKind::Timeout);
            env.SetLastFailure("The server took too long to answer.");
            c.Close();
            return -1;
        }
        const LineRead read = ReadHeaderLine(c, line);
        if (read == LineRead::Timeout &&
            (env.StopRequested() || (slot != nullptr && slot->cancel.load()))) {
            c.Close();
            return -1;
        }
        if (read == LineRead::Broken) {
            // The connection is gone; the next transaction connects afresh.
            NoteFailure(slot, FailureKind::Cut, c.lastError);
            c.Close();
            return -1;
        }
        if (StartsWithNoCase(line, "Content-Type: text/html")) {
            c.isHtml = true;
        }
        if (read == LineRead::Timeout) {
            if (c.contentLength != 0) {
                return statusSeen ? finish() : notHttp();
            }
            if (NowMs() - start > timing.headerWaitMs) {
                NoteFailure(slot, FailureKind::Timeout);
                return -1;
            }
            PauseMs(timing.headerRetryMs);
            continue;
        }
        if (line.starts_with('#')) {
            continue;
        }
        if (status == 400 && StartsWithNoCase(line, "HTTP/")) {
            const std::size_t space = line.find(' ');
            if (space != std::string::npos) {
                statusSeen = true;
                status = static_cast<int>(LeadingNumber(std::string_view(line).substr(space + 1)));
                if (slot != nullptr) {
                    slot->status = status;
                    resumeOffset = slot->done;
                    // A full answer to a range request starts the file again.
                    if (status == 200 && resumeOffset != 0) {
                        slot->done = 0;
                        resumeOffset = 0;
                    }
                }
                if (!AcceptedStatus(status)) {
                    NoteFailure(slot, FailureKind::HttpStatus);
                    env.RecordUrlError(status, RefusedUrlText(c));
                    c.redirected = true;
                    c.Close();
                    return -1;
                }
            }
        } else if (StartsWithNoCase(line, "content-length:")) {
            std::string_view value = std::string_view(line).substr(15);
            if (value.starts_with(' ')) {
                value.remove_prefix(1);
            }
            c.contentLength = LeadingNumber(value);
            if (slot != nullptr && slot->done != 0 && c.contentLength == expectedTotal) {
                slot->done = 0;  // the server ignored the range
                resumeOffset = 0;
            }
            if (status == 206 && resumeOffset != 0 && c.contentLength != 0) {
                const std::uint64_t total = std::uint64_t{resumeOffset} + c.contentLength;
                c.contentLength = static_cast<std::uint32_t>(
                    std::min<std::uint64_t>(total, std::numeric_limits<std::uint32_t>::max()));
            }
            if (RefuseBySize(c, options, slot)) {
                return -1;
            }
        } else if (StartsWithNoCase(line, "location:") && (status == 301 || status == 302)) {
            HandleRedirect(c, line);
        } else if (StartsWithNoCase(line, "connection: close")) {
            c.closeAfter = true;
            c.serverCloses = true;
        } else if (StartsWithNoCase(line, "set-cookie:") && options.sendCookie) {
            std::string_view cookie = std::string_view(line).substr(11);
            if (cookie.starts_with(' ')) {
                cookie.remove_prefix(1);
            }
            env.StoreCookie(c.host, WithoutLineEnd(cookie));
        } else if (StartsWithNoCase(line, "content-range:")) {
            const std::size_t slash = line.find('/');
            if (slash != std::string::npos) {
                rangeTotal = LeadingNumber(std::string_view(line).substr(slash + 1));
            }
        } else if (line == "\r\n") {
            headerBytes += line.size();
            return statusSeen ? finish() : notHttp();
        }
        headerBytes += line.size();
        if (headerBytes >= kHeaderBudget) {
            return notHttp();
        }
    }
}

}  // namespace wg
