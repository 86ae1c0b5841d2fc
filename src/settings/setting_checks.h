// Checks of a settings value given for one run ("KEY=VALUE" on a command
// line) before it is applied: the key must be one the settings file knows and
// the value must suit it. The settings file itself stays lenient; this is for
// values a person has just typed, where a silent 0 or a silent cut would hide
// the mistake.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace wg {

enum class SettingKind {
    Flag,      // 0 or 1
    Number,    // a whole number within [min, max]
    Text,      // one line, at most maxLength bytes
    TypeList,  // a type or word list: one line, at most maxLength bytes
};

struct SettingRule {
    std::string_view key;
    SettingKind kind;
    long long min = 0;
    long long max = 0;
    std::size_t maxLength = 0;  // Text and TypeList only
};

// The rule for `key` (case-sensitive, as the settings file has it), or null
// for a key the settings file does not know.
const SettingRule* FindSettingRule(std::string_view key);

// True when `keyValue` ("KEY=VALUE") names a known key with a value that
// suits it. Otherwise false, with `error` (when not null) naming the key and
// what it accepts.
bool CheckSettingOverride(std::string_view keyValue, std::string* error);

}  // namespace wg
