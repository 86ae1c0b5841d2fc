// The console the program was started from.
#pragma once

#include <optional>
#include <string>

namespace wg::platform {

bool StdinIsTerminal();
bool StderrIsTerminal();
// Width of the terminal on standard error; 80 when it cannot be told.
int StderrColumns();

// One line typed on standard input, without its line end; none at end of input.
std::optional<std::string> ReadStdinLine();

}  // namespace wg::platform
