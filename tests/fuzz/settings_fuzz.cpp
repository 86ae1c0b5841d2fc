// The settings reader on arbitrary bytes: no read out of bounds, no crash, and
// what it read can be written and read again. (A value that holds the name of
// another key need not read back the same: the first occurrence of a key wins
// wherever it stands.)
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "settings/app_paths.h"
#include "settings/app_settings.h"
#include "settings/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    wg::AppSettings settings;
    wg::AppPaths paths;
    wg::SettingsHooks hooks;  // no side effects: nothing touches the file system
    wg::ParseSettings(text, settings, paths, hooks);

    const std::string written = wg::FormatSettings(settings, paths);
    wg::AppSettings again;
    wg::AppPaths againPaths;
    wg::ParseSettings(written, again, againPaths, hooks);
    return 0;
}
