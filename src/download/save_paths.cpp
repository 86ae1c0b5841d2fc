#include "download/save_paths.h"

#include <cerrno>
#include <vector>

#include "util/text.h"

namespace wg {

namespace {

constexpr std::size_t kCap = kLocalPathCapacity;
constexpr std::string_view kIndexName = "index.html";

bool IsSeparator(char ch) {
    return ch == '/' || ch == '\\';
}

// The text up to its first zero byte.
std::string_view CText(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

// The text up to its first zero byte with every separator made '/'.
std::string Slashed(std::string_view text) {
    std::string out(CText(text));
    ReplaceChar(out, '\\', '/');
    return out;
}

// The directory a site's files go to: the host with every '.' made '_'.
std::string SiteDirectory(std::string_view saveDir) {
    std::string dir = Slashed(saveDir);
    ReplaceChar(dir, '.', '_');
    return dir;
}

// `name` without its leading "../" sequences, while `dir` has no separator.
std::string_view WithoutLeadingParents(std::string_view name, std::string_view dir) {
    if (dir.find('/') != std::string_view::npos) {
        return name;
    }
    while (name.substr(0, 3) == "../") {
        name.remove_prefix(3);
    }
    return name;
}

// `path` fit for one debug log line: control bytes shown as '?', cut at the
// capacity of a composed path.
std::string Printable(std::string_view path) {
    std::string out(path.substr(0, kCap - 1));
    for (char& ch : out) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x20 || byte == 0x7f) {
            ch = '?';
        }
    }
    return out;
}

std::optional<std::string> Refuse(std::string* why, std::string_view reason,
                                  std::string_view path) {
    if (why != nullptr) {
        *why = std::string(reason) + Printable(path);
    }
    return std::nullopt;
}

// Counts the separators and the ".." pairs from the left (the byte after a
// pair is skipped, so the separator of "../" is not counted). When the pairs
// are at least as many as the separators and there is a separator at all,
// pairs from the left become "__" until they no longer outnumber them.
void NeutraliseSurplusParents(std::string& path) {
    std::size_t separators = 0;
    std::vector<std::size_t> pairs;
    for (std::size_t i = 0; i < path.size();) {
        if (path[i] == '.' && i + 1 < path.size() && path[i + 1] == '.') {
            pairs.push_back(i);
            i += 3;
            continue;
        }
        if (IsSeparator(path[i])) {
            ++separators;
        }
        ++i;
    }
    std::size_t count = pairs.size();
    if (separators == 0 || count < separators) {
        return;
    }
    for (const std::size_t at : pairs) {
        path[at] = '_';
        path[at + 1] = '_';
        if (--count <= separators) {
            break;
        }
    }
}

}  // namespace

std::string ComposeLocalPath(std::string_view saveDir, std::optional<std::string_view> saveName,
                             std::string_view name) {
    const std::string dir = SiteDirectory(saveDir);
    if (saveName.has_value()) {
        const std::string file = Slashed(*saveName);
        if (dir.empty()) {
            return CopyBounded(file, kCap);
        }
        std::string path = CopyBounded(dir, kCap);
        AppendBounded(path, kCap, "/");
        if (file.empty()) {
            AppendBounded(path, kCap, kIndexName);
            return path;
        }
        AppendBounded(path, kCap, WithoutLeadingParents(file, dir));
        if (path.back() == '/') {
            AppendBounded(path, kCap, kIndexName);
        }
        return path;
    }
    const std::string file = Slashed(name);
    if (dir.empty()) {
        return CopyBounded(file, kCap);
    }
    std::string path = CopyBounded(dir, kCap);
    if (file.empty()) {
        AppendBounded(path, kCap, "/index.html");
    } else if (file.front() == '/') {
        AppendBounded(path, kCap, file);
    } else {
        AppendBounded(path, kCap, "/");
        AppendBounded(path, kCap, WithoutLeadingParents(file, dir));
    }
    return path;
}

std::string ComposeHttpsLocalPath(std::string_view saveDir,
                                  std::optional<std::string_view> saveName, std::string_view name) {
    const std::string dir = SiteDirectory(saveDir);
    const std::string file = Slashed(saveName.value_or(name));
    std::string path;
    if (!dir.empty()) {
        path = CopyBounded(dir, kCap);
        AppendBounded(path, kCap, "/");
    }
    AppendBounded(path, kCap, file.empty() ? kIndexName : std::string_view(file));
    return path;
}

std::optional<std::string> ContainedPath(std::string_view path, std::string* why) {
    const std::string text = Slashed(path);
    if (text.empty()) {
        return Refuse(why, "Refused empty path", {});
    }
    if (text.front() == '/') {
        return Refuse(why, "Refused absolute path: ", text);
    }
    std::vector<std::string_view> parts;
    bool namesDirectory = false;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find('/', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string_view part(text.data() + start, end - start);
        namesDirectory = part.empty() || part == "." || part == "..";
        if (part == "..") {
            if (parts.empty()) {
                return Refuse(why, "Refused path outside the download directory: ", text);
            }
            parts.pop_back();
        } else if (!namesDirectory) {
            parts.push_back(part);
        }
        start = end + 1;
    }
    if (parts.empty()) {
        return Refuse(why, "Refused path that names no file: ", text);
    }
    std::string resolved;
    for (const std::string_view part : parts) {
        if (!resolved.empty()) {
            resolved += '/';
        }
        resolved += part;
    }
    if (namesDirectory) {
        resolved += '/';
    }
    return resolved;
}

std::optional<std::string> ResolveLocalPath(std::string_view path, std::string* why) {
    std::string text(CText(path));
    NeutraliseSurplusParents(text);
    return ContainedPath(text, why);
}

platform::FilePtr OpenFileSafe(std::string_view path, const char* mode, std::string* refusal,
                               int* error) {
    if (refusal != nullptr) {
        refusal->clear();
    }
    if (error != nullptr) {
        *error = 0;
    }
    if (CText(path).empty() || mode == nullptr) {
        return nullptr;
    }
    const std::optional<std::string> resolved = ResolveLocalPath(path, refusal);
    if (!resolved) {
        return nullptr;
    }
    return platform::OpenFile(*resolved, mode, error);
}

void CreateDirectoriesFor(std::string_view path, std::string* refusal) {
    if (refusal != nullptr) {
        refusal->clear();
    }
    const std::string bounded = CopyBounded(path, kCap);
    if (bounded.empty()) {
        return;
    }
    const std::optional<std::string> resolved = ResolveLocalPath(bounded, refusal);
    if (!resolved) {
        return;
    }
    const std::size_t last = resolved->rfind('/');
    if (last == std::string::npos) {
        return;
    }
    // Errors, such as a file standing where a directory belongs, are left to
    // the open that follows.
    (void)platform::CreateDirectories(resolved->substr(0, last));
}

std::string PartialNameOf(std::string_view path) {
    std::string partial(CText(path));
    partial += kPartialSuffix;
    return partial;
}

int CommitPartialFile(std::string_view path) {
    const std::optional<std::string> from = ResolveLocalPath(PartialNameOf(path));
    const std::optional<std::string> to = ResolveLocalPath(path);
    if (!from || !to) {
        return EINVAL;
    }
    return platform::MoveFile(*from, *to);
}

void DeletePartialFile(std::string_view path) {
    if (const std::optional<std::string> partial = ResolveLocalPath(PartialNameOf(path))) {
        (void)platform::ForceDelete(*partial);
    }
}

}  // namespace wg
