#include "platform/xdg_dirs.h"

#include <cstdlib>
#include <string>

#include "platform/files.h"

namespace wg::platform {

namespace {

std::string EnvText(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

std::filesystem::path HomeDirectory() {
    const std::string home = EnvText("HOME");
    return home.empty() ? std::filesystem::path("/") : std::filesystem::path(home);
}

// An XDG variable that holds an absolute path, else the fallback below $HOME.
std::filesystem::path BaseDirectory(const char* variable, const char* belowHome) {
    std::filesystem::path value(EnvText(variable));
    if (!value.empty() && value.is_absolute()) {
        return value;
    }
    return HomeDirectory() / belowHome;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

std::filesystem::path DataHomeDirectory() {
    return BaseDirectory("XDG_DATA_HOME", ".local/share");
}

std::string DownloadDirFromUserDirs(std::string_view text, const std::string& home) {
    std::string found;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        constexpr std::string_view kKey = "XDG_DOWNLOAD_DIR=";
        if (!line.starts_with(kKey)) {
            continue;
        }
        line.remove_prefix(kKey.size());
        if (line.size() >= 2 && line.front() == '"' && line.back() == '"') {
            line = line.substr(1, line.size() - 2);
        }
        std::string value;
        if (line.starts_with("$HOME")) {
            const std::string_view rest = line.substr(5);
            if (!rest.empty() && rest.front() != '/') {
                continue;
            }
            value = home + std::string(rest);
        } else if (line.starts_with("/")) {
            value = std::string(line);
        } else {
            continue;
        }
        // "$HOME/" alone means the home folder itself: no download folder.
        while (value.size() > 1 && value.back() == '/') {
            value.pop_back();
        }
        found = value == home ? std::string() : value;  // the last setting counts
    }
    return found;
}

std::filesystem::path DownloadDirectory() {
    const std::filesystem::path config = BaseDirectory("XDG_CONFIG_HOME", ".config");
    std::string text;
    if (ReadWholeFile(config / "user-dirs.dirs", &text)) {
        const std::string dir = DownloadDirFromUserDirs(text, HomeDirectory().string());
        if (!dir.empty()) {
            return dir;
        }
    }
    return HomeDirectory() / "Downloads";
}

}  // namespace wg::platform
