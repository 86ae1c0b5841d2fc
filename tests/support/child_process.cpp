#include "support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/test_dirs.h"

extern char** environ;

namespace wg::test {

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        pid_ = pid;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    readFd_ = fds[0];
    (void)::fcntl(readFd_, F_SETFL, O_NONBLOCK);
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    if (readFd_ >= 0) {
        ::close(readFd_);
    }
}

std::string ChildProcess::Output() {
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(readFd_, buf, sizeof buf);
        if (n <= 0) {
            break;
        }
        output_.append(buf, static_cast<std::size_t>(n));
    }
    return output_;
}

bool ChildProcess::WaitForOutput(const std::string& text, int timeoutMs) {
    return WaitFor([&] { return Output().find(text) != std::string::npos; }, timeoutMs);
}

void ChildProcess::Signal(int signal) {
    if (pid_ > 0) {
        ::kill(pid_, signal);
    }
}

int ChildProcess::WaitExit(int timeoutMs) {
    int status = 0;
    const auto ended = [&] {
        Output();  // a child blocked on a full pipe would never end
        return ::waitpid(pid_, &status, WNOHANG) == pid_;
    };
    if (!WaitFor(ended, timeoutMs)) {
        return -1;  // the destructor kills it
    }
    pid_ = -1;
    Output();
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int RunProgram(const std::string& program, const std::vector<std::string>& args,
               std::string* output) {
    ChildProcess child(program, args);
    const int status = child.WaitExit(30000);
    if (output != nullptr) {
        *output = child.Output();
    }
    return status;
}

}  // namespace wg::test
