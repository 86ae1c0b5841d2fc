// The console the program was started from.
#pragma once

#include <optional>
#include <string>

namespace wg::platform {

bool StdinIsTerminal();
bool StderrIsTerminal();

// One line typed on standard input, without its line end; none at end of input.
std::optional<std::string> ReadStdinLine();

}  // namespace wg::platform
