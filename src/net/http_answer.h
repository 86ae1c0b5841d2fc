// What one exchange on a connection brought: the answer's announced length,
// the body bytes held, how the header block was judged and whether the
// connection is to be closed after it. The connection keeps none of it: whoever
// runs the exchange does (a worker between the attempts at one file).
#pragma once

#include <cstdint>

namespace wg {

struct HttpAnswer {
    // The announced length (Content-Length; a resumed answer counts from the
    // file's first byte), 0 when none came.
    std::uint32_t contentLength = 0;
    // The body bytes held, an earlier part of a resumed file included.
    std::uint32_t received = 0;
    // The bytes of the status line and header lines, the empty line included.
    std::uint32_t headerBytes = 0;
    bool answerStarted = false;  // a byte of the answer has arrived
    bool isHtml = false;         // "Content-Type: text/html"
    // The answer was not the thing asked for: sent elsewhere, or refused.
    bool redirected = false;
    // The connection is not to be used again after this answer.
    bool closeAfter = false;

    // True when the transfer needs no resume: nothing known, nothing received,
    // or everything announced received.
    bool IsComplete() const {
        return contentLength == 0 || received == 0 || contentLength <= received;
    }
};

}  // namespace wg
