// The texts of the five counters of the main window.
#pragma once

#include <cstdint>
#include <string>

#include "app/ui_port.h"

namespace wg {

// "Links To Grubble: 1,234", "To Download: 1,234,567", "In Process: 3",
// "URLs Scanned: 12", "Files Downloaded: 1,000".
std::string FormatCounterText(Counter counter, std::int64_t value);

}  // namespace wg
