#include "platform/process.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

extern char** environ;

namespace wg::platform {

namespace fs = std::filesystem;

fs::path RunningProgramPath() {
    std::error_code ec;
    fs::path path = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : path;
}

int StartProgram(const fs::path& program, const std::vector<std::string>& args, int* pid) {
    std::string name = program.string();
    std::vector<std::string> owned(args);
    std::vector<char*> argv;
    argv.reserve(owned.size() + 2);
    argv.push_back(name.data());
    for (std::string& arg : owned) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    const int rc = ::posix_spawn(&child, name.c_str(), nullptr, nullptr, argv.data(), environ);
    if (rc == 0 && pid != nullptr) {
        *pid = static_cast<int>(child);
    }
    return rc;
}

int WaitForProgram(int pid) {
    int status = 0;
    pid_t got = 0;
    do {
        got = ::waitpid(static_cast<pid_t>(pid), &status, 0);
    } while (got < 0 && errno == EINTR);
    if (got < 0 || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

int MakeExecutable(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return errno;
    }
    mode_t mode = info.st_mode & 07777;
    mode |= (mode & S_IRUSR) != 0 ? S_IXUSR : 0;
    mode |= (mode & S_IRGRP) != 0 ? S_IXGRP : 0;
    mode |= (mode & S_IROTH) != 0 ? S_IXOTH : 0;
    return ::chmod(path.c_str(), mode) == 0 ? 0 : errno;
}

bool IsExecutable(const fs::path& path) {
    return ::access(path.c_str(), X_OK) == 0;
}

}  // namespace wg::platform
