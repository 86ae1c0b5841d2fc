// The passes of the link scanner that walk over every '.' of a page.
#pragma once

#include <string_view>

#include "crawl/link_scanner.h"

namespace wg {

// The dot pass of ScanPage: finds nearly every link, absolute or relative, in
// markup, style sheets and inline scripts.
void ScanDots(ScanContext& scan, std::string_view text);

// The dot walk of a script file (the body of ScanScript).
void ScanScriptDots(ScanContext& scan, std::string_view text);

}  // namespace wg
