// The request on the wire and the exchange up to the body.
#include "net/http_fetch.h"

#include <string>
#include <string_view>

#include "net/fetch_environment.h"
#include "platform/socket.h"
#include "util/text.h"
#include "util/timing.h"

namespace wg {
namespace {

// Sends the request lines; false when a mandatory line failed.
bool SendRequest(HttpConnection& c, std::string_view requestName, const FetchOptions& options,
                 std::uint64_t resumeOffset) {
    FetchEnvironment& env = *c.environment;
    RequestHead head;
    head.requestLine = RequestLine(c.path, requestName, c.protocol);
    head.host = c.host;
    head.resumeOffset = resumeOffset;
    if (options.sendCookie) {
        head.cookieText = CopyBounded(env.CookiesFor(c.host), kCookieTextCapacity - 1);
    }
    head.userAgent = env.HasApp() ? options.userAgent : std::string(kFallbackUserAgent);
    head.keepAlive = options.keepAlive;
    c.keepAliveAsked = options.keepAlive;
    // The lines go out in one send: the same bytes in one packet.
    std::string block;
    for (const HeadLine& line : RequestHeadLines(head)) {
        block += line.text;
    }
    return c.SendAll(block) >= 0;
}

}  // namespace

bool KeepOpenConnection(HttpConnection& c) {
    if (c.HasSocket() &&
        (!c.ReadAhead().empty() || platform::WaitReady(c.Socket().Fd(), true, 0) == 1)) {
        c.Close();
    }
    return c.HasSocket();
}

AnswerOutcome RequestAnswer(HttpConnection& c, const HttpGet& get, const FetchOptions& options,
                            int slot, bool kept, HttpAnswer& answer, BodySink& sink) {
    for (bool reused = kept;; reused = false) {
        if (!c.HasSocket()) {
            reused = false;
            if (!c.Connect(c.timing.connectTimeoutMs)) {
                return AnswerOutcome::Unusable;
            }
        }
        const std::uint64_t offset = get.resumeOffset ? get.resumeOffset() : 0;
        const bool sent = SendRequest(c, get.requestName, options, offset);
        if (!sent && reused) {
            c.Close();
            continue;
        }
        if (!sent) {
            return AnswerOutcome::Unusable;
        }
        if (ReadResponseHeaders(c, get, slot, answer, sink) == HeadOutcome::Read) {
            return AnswerOutcome::Head;
        }
        if (!(reused && !answer.answerStarted && !c.HasSocket())) {
            return c.connectFailed ? AnswerOutcome::Unusable : AnswerOutcome::Refused;
        }
    }
}

}  // namespace wg
