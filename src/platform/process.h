// The running program and the programs it starts: where its own binary is,
// starting another program without waiting for it, and the executable bit
// of a program file.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace wg::platform {

// The absolute path of the running program's binary; empty when unknown.
std::filesystem::path RunningProgramPath();

// Starts `program` with `args` (argv[1]...) and does not wait for it. 0, or
// the errno of the start; `*pid` (when given) names the new process.
int StartProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                 int* pid = nullptr);

// Waits for a process this one started: its exit status, or -1 when it did
// not exit normally or cannot be waited for.
int WaitForProgram(int pid);

// Adds the execute bit wherever the file has the read bit (a program file).
// 0, or an errno.
int MakeExecutable(const std::filesystem::path& path);

// Whether the file can be run by this user.
bool IsExecutable(const std::filesystem::path& path);

}  // namespace wg::platform
