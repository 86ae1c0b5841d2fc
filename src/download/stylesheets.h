// Stylesheets saved by the download workers: the pictures, fonts and further
// stylesheets they name through url(...) and @import are part of the pages
// that use them, so they are queued like the links of a page, and a saved
// stylesheet is rewritten for offline reading as a page is.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wg {

// Whether a URL names a stylesheet (".css" before any query or fragment).
bool IsStylesheetUrl(std::string_view url);

// The values of every url(...) and @import of a stylesheet, in order, as
// written (quotes and surrounding spaces removed). Values that name nothing
// to fetch (empty, "data:", a fragment alone) are left out.
std::vector<std::string> StylesheetLinks(std::string_view css);

// `reference` made absolute against the absolute http(s) URL `base`, with
// "." and ".." segments resolved and any fragment dropped; nothing for a
// reference with another scheme.
std::optional<std::string> ResolveReference(std::string_view base, std::string_view reference);

}  // namespace wg
