// Scheduling priority of worker threads.
#pragma once

namespace wg::platform {

// The system's identifier of the calling thread, usable from other threads.
int CurrentThreadId();

// Applies a program priority to a thread: 0 is normal, -2 is the lowest (a
// raised nice value), other values map between them. Returns 0 or errno.
int SetThreadPriorityOf(int threadId, int priority);

}  // namespace wg::platform
