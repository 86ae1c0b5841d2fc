// Where the body of an answer goes. The transport reads the socket, keeps the
// waits, the stop and cancel rules and the byte counts; a sink decides where
// the bytes land and what is kept of them.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace wg {

struct HttpAnswer;

// What a sink makes of a chunk.
enum class SinkVerdict : std::uint8_t {
    Continue,  // taken; go on reading
    Full,      // taken; the sink has no room for more
    Refused,   // the answer is not what was asked for: the body ends unread
    Failed,    // the bytes could not be kept (the error is the sink's)
};

class BodySink {
public:
    virtual ~BodySink() = default;

    // The announced length (Content-Length) is known: true refuses the answer
    // before its body.
    virtual bool RefusesLength(const HttpAnswer& /*answer*/) { return false; }
    // The body starts; the answer's `received` holds any earlier part.
    virtual void Begin() {}
    // Where the next bytes are read to; empty when there is no room.
    virtual std::span<char> Space() = 0;
    // `bytes` have arrived: read into Space() by the plain reader (which has
    // counted them in the answer's `received` already), or handed over by the TLS one.
    virtual SinkVerdict Take(std::string_view bytes) = 0;
    // The body has ended: what the sink still holds is written; false when
    // that failed.
    virtual bool Finish() { return true; }
};

}  // namespace wg
