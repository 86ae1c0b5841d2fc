// Decoding of %XX escapes in a URL.
#pragma once

#include <string>

namespace wg {

// Decodes every valid %XX escape before the first '?' or '#'; the query and
// the fragment stay escaped, and a '%' without two hexadecimal digits stays as
// it is.
void UrlUnescapeInPlace(std::string& url);

}  // namespace wg
