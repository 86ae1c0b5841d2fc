// The program's help page, and the addresses of its sections.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace wg {

// The help page: installed beside the program ("../share/webgrubbler"),
// else the one of the source tree the program was built from.
QString HelpPagePath();

// The help page with an anchor ("1" the main window, "2" the options, "3"
// the advanced options), as a file URL.
std::string HelpPageUrl(std::string_view anchor);

}  // namespace wg
