// The transport's half of an https transaction: one GET over TLS, the answer's
// status, cookies and length, the body into the page buffer or a sink.
#include <algorithm>
#include <cstring>
#include <string>

#include "net/fetch_environment.h"
#include "net/http_fetch.h"
#include "net/tls_fetch.h"
#include "net/transfer_slots.h"
#include "util/text.h"
#include "util/timing.h"

namespace wg {
namespace {

// The path of an https URL from the '/' after its host ("/" when none).
std::string PathOfUrl(const std::string& url) {
    std::size_t hostStart = 0;
    const std::size_t colon = url.find(':');
    if (colon != std::string::npos && colon + 1 < url.size() && url[colon + 1] == '/') {
        hostStart = colon + 3;
    }
    const std::size_t slash = url.find('/', std::min(hostStart, url.size()));
    return slash == std::string::npos ? std::string("/") : url.substr(slash);
}

FailureKind FailureOf(const TlsResult& result) {
    switch (result.error) {
        case TlsError::Certificate:
        case TlsError::Handshake:
            return FailureKind::Tls;
        case TlsError::Connect:
            return FailureKind::Connect;
        case TlsError::Io:
        case TlsError::Truncated:
            return FailureKind::Cut;
        case TlsError::Timeout:
            return FailureKind::Timeout;
        case TlsError::BadResponse:
        case TlsError::BadRequest:
        case TlsError::TooManyRedirects:
        case TlsError::RedirectNotHttps:
            return FailureKind::Protocol;
        case TlsError::None:
        case TlsError::Cancelled:
            break;
    }
    return result.status != 0 && (result.status < 200 || result.status >= 300)
               ? FailureKind::HttpStatus
               : FailureKind::None;
}

}  // namespace

TlsResult HttpsExchange(HttpConnection& c, int slotIndex, const std::string& url,
                        HttpAnswer& answer, BodySink* fileSink) {
    FetchEnvironment& env = *c.environment;
    const FetchOptions options = env.Options();
    TransferSlot* slot = env.Slot(slotIndex);

    TlsRequest request;
    request.host = c.host;
    request.port = c.port;
    request.pathAndQuery = PathOfUrl(url);
    request.timeoutMs = c.timing.bodyWaitMs;
    request.caFile = options.caFile;
    if (options.sendCookie) {
        request.cookieHeader = env.CookiesFor(c.host);
    }
    request.acceptAnswer = [&](const TlsResult& head) {
        if (slot != nullptr) {
            slot->status = head.status;
        }
        if (options.sendCookie) {
            for (const std::string& line : head.headers) {
                if (line.size() > 11 && StartsWithNoCase(line, "set-cookie:")) {
                    std::string_view cookie = std::string_view(line).substr(11);
                    env.StoreCookie(c.host, TrimBlanks(cookie));
                }
            }
        }
        answer.contentLength = static_cast<std::uint32_t>(ContentLength(head.headers).value_or(0));
        if (slot != nullptr) {
            slot->total = answer.contentLength;
        }
        return head.status >= 200 && head.status < 300;
    };

    answer.received = 0;
    auto sink = [&](const char* data, std::size_t size) {
        if (env.StopRequested() || (slot != nullptr && slot->cancel)) {
            return false;
        }
        if (fileSink == nullptr) {
            const std::size_t room = kPageBufferLimit - answer.received;
            const std::size_t take = std::min(room, size);
            std::memcpy(c.buffer.data() + answer.received, data, take);
            answer.received += static_cast<std::uint32_t>(take);
        } else {
            if (fileSink->Take({data, size}) == SinkVerdict::Failed) {
                return false;
            }
            answer.received += static_cast<std::uint32_t>(size);
        }
        if (slot != nullptr) {
            slot->done = answer.received;
        }
        return true;
    };
    return FetchHttps(request, sink);
}

void NoteHttpsFailure(HttpConnection& c, int slotIndex, const TlsResult& result) {
    NoteFailure(c.environment->Slot(slotIndex), FailureOf(result));
    if (result.error == TlsError::Certificate) {
        c.environment->SetLastFailure("The server's certificate was refused: " + result.errorText);
    }
}

void EndHttpsPage(HttpConnection& c, HttpAnswer& answer, bool success) {
    if (!success) {
        answer.received = 0;
    }
    if (answer.received >= kPageBufferLimit) {
        answer.received = kPageBufferLimit - 1;
    }
    c.buffer[answer.received] = '\0';
}

}  // namespace wg
