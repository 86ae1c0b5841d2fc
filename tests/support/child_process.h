// Runs a program of the project as a child process, with its standard error
// captured, for tests of the front ends.
#pragma once

#include <string>
#include <vector>

namespace wg::test {

class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& args);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    // Reads what the child wrote so far (non-blocking) and returns all of it.
    std::string Output();
    // Waits until the output contains `text`.
    bool WaitForOutput(const std::string& text, int timeoutMs = 10000);
    void Signal(int signal);
    // Waits for the exit; -1 when it did not end in time (it is then killed).
    int WaitExit(int timeoutMs = 10000);

private:
    int pid_ = -1;
    int readFd_ = -1;
    std::string output_;
};

// Runs a program to its end and returns its exit status with its output
// (standard output and standard error together).
int RunProgram(const std::string& program, const std::vector<std::string>& args,
               std::string* output);

}  // namespace wg::test
