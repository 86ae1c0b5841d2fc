// The transport's half of a GET transaction on a connection: the request, the
// answer's status and header lines, and the body into a sink. What is kept of
// the body and how it is judged is the caller's (src/download/).
#pragma once

#include <cstdint>
#include <string>

#include "net/body_sink.h"
#include "net/http_answer.h"
#include "net/http_connection.h"
#include "net/http_request.h"
#include "net/tls_fetch.h"

namespace wg {

struct TransferSlot;

// Before a transaction: a kept connection that the server has closed since
// (or that holds bytes nobody asked for) is not used again. True when an open
// connection is kept.
bool KeepOpenConnection(HttpConnection& connection);

// How far the request and the answer's header block got.
enum class AnswerOutcome : std::uint8_t {
    Head,      // the header block was read; the body follows
    Unusable,  // the connection is unusable (connect or a mandatory send failed)
    Refused,   // the answer was refused or broken; nothing usable came
};

// Sends the request on the connection (connecting when it has no socket) and
// reads the header block into `answer`. A kept connection that the server
// closed just before the request went out is connected again and the request
// sent once more.
AnswerOutcome RequestAnswer(HttpConnection& connection, const HttpGet& get,
                            const FetchOptions& options, int slot, bool kept, HttpAnswer& answer,
                            BodySink& sink);

// How the header block ended.
enum class HeadOutcome : std::uint8_t {
    Read,     // read and taken (its size in the answer's headerBytes); the body follows
    Refused,  // refused, broken, not HTTP or not in time; the answer is not read further
};

// Reads the status line and header lines into `answer` and acts on them. The
// sink may refuse the answer by its announced length.
HeadOutcome ReadResponseHeaders(HttpConnection& connection, const HttpGet& get, int slot,
                                HttpAnswer& answer, BodySink& sink);

// How the body ended.
enum class BodyOutcome : std::uint8_t {
    Ended,    // complete, cut by the server or a wait, or stopped: the answer's
              // `received` bytes are held (a resumed file counts its earlier part)
    Refused,  // the sink refused the body; the rest is not read
    Failed,   // a socket error, or the sink could not keep the bytes
};

// Reads the body into the sink, counting it in the answer's `received`.
BodyOutcome ReceiveBody(HttpConnection& connection, int slot, HttpAnswer& answer, BodySink& sink);

// The sink of a page: the connection's buffer, up to kPageBufferLimit bytes.
class PageBufferSink final : public BodySink {
public:
    PageBufferSink(HttpConnection& connection, const HttpAnswer& answer)
        : connection_(connection), answer_(answer) {}
    std::span<char> Space() override;
    SinkVerdict Take(std::string_view bytes) override;

private:
    HttpConnection& connection_;
    const HttpAnswer& answer_;
    std::size_t fill_ = 0;
};

// The https GET of `url` over TLS: the answer's status, cookies and announced
// length go to the slot, the jar and `answer`; the body of a success goes to
// the page buffer, or to `fileSink` when given. Stop and cancel end it.
TlsResult HttpsExchange(HttpConnection& connection, int slot, const std::string& url,
                        HttpAnswer& answer, BodySink* fileSink);

// Records why an https exchange failed (in the slot, and the refusal of a
// certificate as the last failure).
void NoteHttpsFailure(HttpConnection& connection, int slot, const TlsResult& result);

// Ends the page of an https exchange: nothing of a failure is kept, the page
// is cut to leave room for its terminator.
void EndHttpsPage(HttpConnection& connection, HttpAnswer& answer, bool success);

}  // namespace wg
