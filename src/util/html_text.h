// Character references of HTML attribute values ("&amp;", "&#38;", "&#x2F;").
#pragma once

#include <string>
#include <string_view>

namespace wg {

// The text with every character reference that ends in ';' replaced by its
// character (UTF-8): the numeric ones, and the named ones that occur in
// addresses (amp, lt, gt, quot, apos, nbsp). Anything else stays as written.
std::string DecodeCharacterReferences(std::string_view text);

}  // namespace wg
