#include "platform/threads.h"

#include <pthread.h>

#include <string>
#include <utility>

namespace wg::platform {

std::thread StartThread(std::string_view name, std::function<void()> body) {
    return std::thread([title = std::string(name.substr(0, 15)), body = std::move(body)] {
        (void)pthread_setname_np(pthread_self(), title.c_str());
        body();
    });
}

}  // namespace wg::platform
