#include "net/response_buffer.h"

#include <algorithm>
#include <cerrno>

namespace wg {

long ResponseBuffer::Receive(char* out, std::size_t length, int timeoutMs, int* error) {
    const std::size_t ahead = end_ - start_;
    if (ahead != 0) {
        const std::size_t n = std::min(ahead, length);
        std::copy_n(data_.data() + start_, n, out);
        start_ += n;
        return static_cast<long>(n);
    }
    return transport_.Receive(out, length, timeoutMs, error);
}

long ResponseBuffer::Fill(int timeoutMs, int* error) {
    if (start_ != end_) {
        return static_cast<long>(end_ - start_);
    }
    start_ = 0;
    end_ = 0;
    const long n = transport_.Receive(data_.data(), data_.size(), timeoutMs, error);
    if (n > 0) {
        end_ = static_cast<std::size_t>(n);
    }
    return n;
}

LineRead ReadHeaderLine(ResponseBuffer& in, std::string& line, std::size_t limit, int waitMs,
                        int* error) {
    line.clear();
    while (line.size() < limit) {
        const long n = in.Fill(waitMs, error);
        if (n < 0 && *error == ETIMEDOUT) {
            return LineRead::Timeout;
        }
        if (n == 0) {
            return LineRead::Closed;
        }
        if (n < 0) {
            return LineRead::Failed;
        }
        const std::string_view ahead = in.Ahead();
        const std::size_t room = limit - line.size();
        const std::size_t lineFeed = ahead.substr(0, room).find('\n');
        const std::size_t take =
            lineFeed == std::string_view::npos ? std::min(room, ahead.size()) : lineFeed + 1;
        line.append(ahead.substr(0, take));
        in.Take(take);
        if (lineFeed != std::string_view::npos) {
            break;
        }
    }
    return LineRead::Line;
}

}  // namespace wg
