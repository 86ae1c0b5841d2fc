// The bytes of an answer as they come from a transport, read in blocks: the
// header reader takes its lines from them, and what it read past the header
// block is the start of the body. Plain and TLS connections share it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/transport.h"

namespace wg {

// The block size of a read.
inline constexpr std::size_t kReadAheadCapacity = 16384;

class ResponseBuffer {
public:
    explicit ResponseBuffer(Transport& transport) : transport_(transport) {}
    ResponseBuffer(const ResponseBuffer&) = delete;
    ResponseBuffer& operator=(const ResponseBuffer&) = delete;

    // Reads into `out`: bytes already read ahead first, else one read from the
    // transport. Results as for Transport::Receive.
    long Receive(char* out, std::size_t length, int timeoutMs, int* error);
    // The bytes read ahead and not yet taken.
    std::string_view Ahead() const { return {data_.data() + start_, end_ - start_}; }
    // Takes `count` bytes of the read-ahead.
    void Take(std::size_t count) { start_ += count; }
    // With nothing read ahead, reads one block from the transport: the bytes
    // now ahead, or the transport's result.
    long Fill(int timeoutMs, int* error);
    // Forgets what was read ahead (the connection is closed).
    void Clear() { start_ = end_ = 0; }

private:
    Transport& transport_;
    std::array<char, kReadAheadCapacity> data_{};
    std::size_t start_ = 0;
    std::size_t end_ = 0;
};

enum class LineRead : std::uint8_t {
    Line,     // a line with its line end, or `limit` bytes of a longer one
    Timeout,  // nothing came within the wait
    Closed,   // the peer closed first
    Failed,   // the transport failed (`*error`)
};

// One header line. `line` holds what arrived of it, whatever the result; a
// line longer than `limit` comes in pieces.
LineRead ReadHeaderLine(ResponseBuffer& in, std::string& line, std::size_t limit, int waitMs,
                        int* error);

}  // namespace wg
