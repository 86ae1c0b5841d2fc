#include "platform/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace wg::platform {

int CurrentThreadId() {
    return static_cast<int>(::syscall(SYS_gettid));
}

int SetThreadPriorityOf(int threadId, int priority) {
    // -2 ("lowest") becomes nice 19; -1 becomes 10; 0 and above stay normal.
    int nice = 0;
    if (priority <= -2) {
        nice = 19;
    } else if (priority == -1) {
        nice = 10;
    }
    if (threadId <= 0) {
        return ESRCH;
    }
    // On Linux a nice value belongs to the thread named by its id.
    if (::setpriority(PRIO_PROCESS, static_cast<id_t>(threadId), nice) != 0) {
        return errno;
    }
    return 0;
}

}  // namespace wg::platform
