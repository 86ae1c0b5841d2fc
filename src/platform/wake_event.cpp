#include "platform/wake_event.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace wg::platform {

WakeEvent::WakeEvent() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WakeEvent::~WakeEvent() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void WakeEvent::Raise() {
    if (fd_ < 0) {
        return;
    }
    const std::uint64_t one = 1;
    // A full counter (EAGAIN) is still readable, which is all a wake needs.
    [[maybe_unused]] const ssize_t written = ::write(fd_, &one, sizeof one);
}

void WakeEvent::Clear() {
    if (fd_ < 0) {
        return;
    }
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = ::read(fd_, &count, sizeof count);
}

}  // namespace wg::platform
