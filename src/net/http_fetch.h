// The transport's half of a GET transaction on a connection: the request, the
// answer's status and header lines, and the body into a sink. What is kept of
// the body and how it is judged is the caller's (src/download/).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "net/body_sink.h"
#include "net/http_connection.h"
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
// reads the header block. A kept connection that the server closed just before
// the request went out is connected again and the request sent once more.
// `resumeOffset` is asked before each send (0: no Range line).
AnswerOutcome RequestAnswer(HttpConnection& connection, const FetchOptions& options, int slot,
                            bool kept, std::uint32_t expectedTotal,
                            const std::function<std::uint64_t()>& resumeOffset, BodySink& sink);

// Reads the status line and header lines and acts on them: the header-byte
// count, or -1 when the answer is refused or broken. The sink may refuse the
// answer by its announced length.
long ReadResponseHeaders(HttpConnection& connection, std::uint32_t expectedTotal, int slot,
                         BodySink& sink);

// Reads the body into the sink: the bytes now held (a resumed file counts its
// earlier part), -1 on a socket error or when the sink failed, or 1 when the
// sink refused the body.
long ReceiveBody(HttpConnection& connection, int slot, BodySink& sink);

// The sink of a page: the connection's buffer, up to kPageBufferLimit bytes.
class PageBufferSink final : public BodySink {
public:
    explicit PageBufferSink(HttpConnection& connection) : connection_(connection) {}
    std::span<char> Space() override;
    SinkVerdict Take(std::string_view bytes) override;

private:
    HttpConnection& connection_;
    std::size_t fill_ = 0;
};

// The https GET of `url` over TLS: the answer's status, cookies and announced
// length go to the slot, the jar and the connection; the body of a success
// goes to the page buffer, or to `fileSink` when given. Stop and cancel end it.
TlsResult HttpsExchange(HttpConnection& connection, int slot, const std::string& url,
                        BodySink* fileSink);

// Records why an https exchange failed (in the slot, and the refusal of a
// certificate as the last failure).
void NoteHttpsFailure(HttpConnection& connection, int slot, const TlsResult& result);

// Ends the page of an https exchange: nothing of a failure is kept, the page
// is cut to leave room for its terminator.
void EndHttpsPage(HttpConnection& connection, bool success);

}  // namespace wg
