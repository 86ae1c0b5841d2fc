// The answer's status line and header lines: which statuses are taken, the
// announced size (which the body's sink may refuse), redirects handed to the
// queues, cookies.
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "net/fetch_environment.h"
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

std::string RefusedUrlText(const HttpConnection& c, std::string_view requestName) {
    std::string url = c.host + "/";
    if (!c.path.path.empty()) {
        url += c.path.path;
        url += '/';
    }
    url += requestName;
    return url;
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

enum class LineResult { Line, Timeout, Broken };

// One header line, taken from the bytes read ahead in blocks; what follows
// the header block stays there for the body.
LineResult ReadLine(HttpConnection& c, HttpAnswer& answer, std::string& line) {
    int error = 0;
    const LineRead read =
        ReadHeaderLine(c.Input(), line, kHeaderLineLimit, c.timing.headerByteWaitMs, &error);
    if (!line.empty()) {
        answer.answerStarted = true;
    }
    switch (read) {
        case LineRead::Line:
            return LineResult::Line;
        case LineRead::Timeout:
            return LineResult::Timeout;
        case LineRead::Closed:
            c.serverCloses = true;
            break;
        case LineRead::Failed:
            break;
    }
    c.lastError = error;
    return LineResult::Broken;
}

std::string_view WithoutLineEnd(std::string_view text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) {
        text.remove_suffix(1);
    }
    return text;
}

void HandleRedirect(HttpConnection& c, HttpAnswer& answer, std::string_view line) {
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
    answer.redirected = true;
}

}  // namespace

bool RefusedByLength(HttpConnection& c, HttpAnswer& answer, BodySink& sink) {
    if (!sink.RefusesLength(answer)) {
        return false;
    }
    answer.contentLength = 0;
    answer.redirected = true;
    c.Close();
    return true;
}

HeadOutcome ReadResponseHeaders(HttpConnection& c, const HttpGet& get, int slotIndex,
                                HttpAnswer& answer, BodySink& sink) {
    FetchEnvironment& env = *c.environment;
    const FetchOptions options = env.Options();
    TransferSlot* slot = env.Slot(slotIndex);
    const Timing& timing = c.timing;

    answer.contentLength = 0;
    answer.headerBytes = 0;
    answer.closeAfter = false;
    c.serverCloses = false;
    answer.isHtml = false;
    answer.redirected = false;
    answer.answerStarted = false;
    int status = 400;
    std::uint32_t resumeOffset = 0;  // the slot's offset when the status line came
    std::uint32_t rangeTotal = 0;    // the total a Content-Range line states
    const std::int64_t start = NowMs();
    std::uint64_t headerBytes = 0;

    // A 206 answer counts from the resume offset, so that the file is complete
    // when resume offset plus remainder have arrived.
    auto finish = [&] {
        if (status == 206 && resumeOffset != 0 && rangeTotal != 0) {
            answer.contentLength = rangeTotal;
        }
        answer.headerBytes = static_cast<std::uint32_t>(headerBytes);
        return HeadOutcome::Read;
    };

    bool statusSeen = false;
    // An answer without a status line is not HTTP: nothing of it is kept.
    auto notHttp = [&] {
        NoteFailure(slot, FailureKind::Protocol);
        env.SetLastFailure("The server's answer was not HTTP.");
        answer.redirected = true;
        c.Close();
        return HeadOutcome::Refused;
    };

    std::string line;
    while (true) {
        // However the bytes trickle in, the header block has a deadline.
        if (NowMs() - start > options.headerTimeoutMs) {
            NoteFailure(slot, FailureKind::Timeout);
            env.SetLastFailure("The server took too long to answer.");
            c.Close();
            return HeadOutcome::Refused;
        }
        const LineResult read = ReadLine(c, answer, line);
        if (read == LineResult::Timeout &&
            (env.StopRequested() || (slot != nullptr && slot->cancel.load()))) {
            c.Close();
            return HeadOutcome::Refused;
        }
        if (read == LineResult::Broken) {
            // The connection is gone; the next transaction connects afresh.
            NoteFailure(slot, FailureKind::Cut, c.lastError);
            c.Close();
            return HeadOutcome::Refused;
        }
        if (StartsWithNoCase(line, "Content-Type: text/html")) {
            answer.isHtml = true;
        }
        if (read == LineResult::Timeout) {
            if (answer.contentLength != 0) {
                return statusSeen ? finish() : notHttp();
            }
            if (NowMs() - start > timing.headerWaitMs) {
                NoteFailure(slot, FailureKind::Timeout);
                return HeadOutcome::Refused;
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
                    env.RecordUrlError(status, RefusedUrlText(c, get.requestName));
                    answer.redirected = true;
                    c.Close();
                    return HeadOutcome::Refused;
                }
            }
        } else if (StartsWithNoCase(line, "content-length:")) {
            std::string_view value = std::string_view(line).substr(15);
            if (value.starts_with(' ')) {
                value.remove_prefix(1);
            }
            answer.contentLength = LeadingNumber(value);
            if (slot != nullptr && slot->done != 0 && answer.contentLength == get.expectedTotal) {
                slot->done = 0;  // the server ignored the range
                resumeOffset = 0;
            }
            if (status == 206 && resumeOffset != 0 && answer.contentLength != 0) {
                const std::uint64_t total = std::uint64_t{resumeOffset} + answer.contentLength;
                answer.contentLength = static_cast<std::uint32_t>(
                    std::min<std::uint64_t>(total, std::numeric_limits<std::uint32_t>::max()));
            }
            if (RefusedByLength(c, answer, sink)) {
                return HeadOutcome::Refused;
            }
        } else if (StartsWithNoCase(line, "location:") && (status == 301 || status == 302)) {
            HandleRedirect(c, answer, line);
        } else if (StartsWithNoCase(line, "connection: close")) {
            answer.closeAfter = true;
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
