// Handing a file or URL to the desktop's default program.
#pragma once

#include <string>

namespace wg::platform {

// Starts "xdg-open target" without waiting for it. Returns 0 or errno.
int OpenWithDesktop(const std::string& target);

}  // namespace wg::platform
