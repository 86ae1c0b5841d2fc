// Every thread of the engine starts here: the workers, the duplication-data
// build, the duplicate finder's readers and the update transfers.
#pragma once

#include <functional>
#include <string_view>
#include <thread>

namespace wg::platform {

// Starts `body` on a new thread named `name` (cut to the 15 characters the
// system keeps), as tools like top and gdb show it.
std::thread StartThread(std::string_view name, std::function<void()> body);

}  // namespace wg::platform
