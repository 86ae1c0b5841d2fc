// A wake-up one thread raises and another waits on through its event loop:
// a descriptor that turns readable when raised.
#pragma once

namespace wg::platform {

class WakeEvent {
public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    // The descriptor to watch for reading; -1 when none could be made.
    int Fd() const { return fd_; }
    // Makes the descriptor readable (any thread; never blocks).
    void Raise();
    // Makes it unreadable again until the next Raise.
    void Clear();

private:
    int fd_ = -1;
};

}  // namespace wg::platform
