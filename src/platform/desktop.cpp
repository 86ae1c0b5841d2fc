#include "platform/desktop.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>

extern char** environ;

namespace wg::platform {

int OpenWithDesktop(const std::string& target) {
    std::string program = "xdg-open";
    char* argv[] = {program.data(), const_cast<char*>(target.c_str()), nullptr};
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ);
    if (rc != 0) {
        return rc;
    }
    // xdg-open itself hands the target on and returns quickly.
    int status = 0;
    (void)::waitpid(pid, &status, 0);
    return (WIFEXITED(status) && WEXITSTATUS(status) == 0) ? 0 : ECHILD;
}

}  // namespace wg::platform
