// Where a desktop program keeps its files on a Linux desktop: the XDG base
// directory and user directory conventions.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace wg::platform {

// $XDG_DATA_HOME, or ~/.local/share when it is unset, empty or relative.
std::filesystem::path DataHomeDirectory();

// The user's download directory: XDG_DOWNLOAD_DIR of
// $XDG_CONFIG_HOME/user-dirs.dirs (default ~/.config), else ~/Downloads.
std::filesystem::path DownloadDirectory();

// The value of XDG_DOWNLOAD_DIR in the text of a user-dirs.dirs file, with
// "$HOME" expanded to `home`; empty when the file does not set it (or sets
// it to something other than an absolute path or one below $HOME).
std::string DownloadDirFromUserDirs(std::string_view text, const std::string& home);

}  // namespace wg::platform
