#include "download/save_names.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "download/save_paths.h"
#include "platform/files.h"
#include "settings/app_settings.h"
#include "util/text.h"

namespace wg {

namespace {

constexpr std::size_t kNameCap = kPathCapacity;
constexpr std::string_view kIndexName = "index.html";

bool IsDigits(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (const char ch : text) {
        if (ch < '0' || ch > '9') {
            return false;
        }
    }
    return true;
}

int ModeOf(const SaveNameOptions& options) {
    return (options.mode == kSiteDirectory || options.mode == kNoSubDirectories)
               ? options.mode
               : kMirrorDirectories;
}

// The URL without "http://" or "https://" (any scheme of four or five letters).
std::string_view WithoutScheme(std::string_view url) {
    if (url.size() > 4 && url[4] == ':') {
        return url.substr(std::min<std::size_t>(7, url.size()));
    }
    if (url.size() > 5 && url[5] == ':') {
        return url.substr(std::min<std::size_t>(8, url.size()));
    }
    return url;
}

std::string FormEncoded(std::string_view text) {
    std::string encoded;
    (void)UrlFormEncode(text, encoded, kNameCap);
    return encoded;
}

// Modes 1 and 2 without escaping: the URL's '/' become '_'; a '\' left in the
// name still separates directories on disk.
std::string Flattened(std::string name) {
    ReplaceChar(name, '/', '_');
    ReplaceChar(name, '\\', '/');
    return name;
}

// The last segment kept apart from a directory of the same name: directory
// text, '0', file part; the directory text gives way when all would not fit.
std::string KeptApartName(const WorkerUrl& url, int mode, std::size_t firstSlash,
                          std::size_t lastSlash) {
    std::string dir;
    if (mode == kNoSubDirectories) {
        dir = CopyBounded(url.host, kNameCap);
        AppendBounded(dir, kNameCap, "/");
    }
    AppendBounded(dir, kNameCap,
                  std::string_view(url.url).substr(firstSlash + 1, lastSlash - firstSlash));
    if (dir.empty()) {
        dir = mode == kMirrorDirectories ? "/" : "_";
    }
    const std::size_t room = kNameCap - 1;  // characters a 260-byte buffer holds
    if (dir.size() + 1 + url.file.size() > room) {
        const std::size_t keep = url.file.size() + 1 < room ? room - 1 - url.file.size() : 0;
        if (dir.size() > keep) {
            dir.resize(keep);
        }
    }
    AppendBounded(dir, kNameCap, "0");
    AppendBounded(dir, kNameCap, url.file);
    return dir;
}

SaveTarget PathOnlySaveName(const WorkerUrl& url, int mode, const SaveNameOptions& options,
                            std::string_view connectionHost) {
    SaveTarget target;
    target.saveDir = std::string(connectionHost);
    if (mode == kMirrorDirectories) {
        target.saveName = CopyBounded(url.path, kNameCap);
        ReplaceChar(target.saveName, '\\', '/');
    } else if (options.urlEscapeFilenames) {
        target.saveName = FormEncoded(url.url);
    } else {
        target.saveName = Flattened(CopyBounded(url.path, kNameCap));
    }
    return target;
}

// The path RunTransaction composes for the worker's first transfer of `url`, or
// nothing when it would leave the download directory (RunTransaction then saves
// nothing either).
std::optional<std::string> ComposedPathFor(const WorkerUrl& url, const SaveNameOptions& options) {
    const SaveTarget target = SaveNameFor(url, options);
    const std::string composed =
        url.secure ? ComposeHttpsLocalPath(target.saveDir, target.saveName, url.file)
                   : ComposeLocalPath(target.saveDir, target.saveName, url.file);
    if (composed.empty() || !ContainedPath(composed)) {
        return std::nullopt;
    }
    return composed;
}

bool FoundBelow(std::string_view directory, const std::string& relative) {
    if (directory.empty()) {
        return false;
    }
    return platform::FileExists(platform::fs::path(std::string(directory)) / relative);
}

bool FoundInList(const DirectoryList& list, const std::string& relative) {
    if (!list) {
        return false;
    }
    return list(
        [&relative](std::string_view directory) { return FoundBelow(directory, relative); });
}

}  // namespace

WorkerUrl SplitWorkerUrl(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    WorkerUrl split;
    split.url = std::string(text);
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos && !text.empty() && text.front() == '/') {
        split.pathOnly = true;
        split.path = std::string(text.substr(1));
        return split;
    }
    split.secure = StartsWithNoCase(text, "https:");
    const std::size_t hostStart =
        colon == std::string_view::npos ? 0 : std::min(colon + 3, text.size());
    const std::size_t slash = text.find('/', hostStart);
    split.host = std::string(text.substr(hostStart, slash - hostStart));
    split.hostName = split.host;
    split.port = split.secure ? "443" : "80";
    const std::size_t portColon = split.host.rfind(':');
    if (portColon != std::string::npos &&
        IsDigits(std::string_view(split.host).substr(portColon + 1))) {
        split.port = split.host.substr(portColon + 1);
        split.hostName.resize(portColon);
    }
    if (slash == std::string_view::npos) {
        return split;
    }
    split.hasSlash = true;
    const std::string_view rest = text.substr(slash);
    if (rest.find('.') == std::string_view::npos && rest.back() != '/') {
        split.url += '/';
    }
    const std::size_t lastSlash = split.url.rfind('/');
    split.path = split.url.substr(slash + 1);
    if (lastSlash > slash) {
        split.directory = split.url.substr(slash + 1, lastSlash - slash - 1);
    }
    split.file = split.url.substr(lastSlash + 1);
    return split;
}

SaveNameOptions SaveNameOptionsFrom(const AppSettings& settings) {
    SaveNameOptions options;
    options.mode = settings.downloadDirStructure.load(std::memory_order_relaxed);
    options.urlEscapeFilenames = settings.urlEscapeFilenames.load(std::memory_order_relaxed);
    options.webPagesWanted = (settings.dft.load(std::memory_order_relaxed) & kGroupWebPages) != 0;
    return options;
}

SaveTarget SaveNameFor(const WorkerUrl& url, const SaveNameOptions& options,
                       std::string_view connectionHost) {
    const int mode = ModeOf(options);
    if (url.pathOnly) {
        return PathOnlySaveName(url, mode, options, connectionHost);
    }
    SaveTarget target;
    if (mode != kNoSubDirectories) {
        target.saveDir = url.hostName;
    }
    std::string& name = target.saveName;
    if (url.hasSlash) {
        const std::size_t firstSlash = url.url.size() - url.path.size() - 1;
        const std::string_view rest = std::string_view(url.url).substr(firstSlash);
        const std::size_t lastSlash = rest.rfind('/');
        const std::size_t lastDot = rest.rfind('.');
        const bool keptApart = !options.webPagesWanted && lastDot != std::string_view::npos &&
                               (lastDot < lastSlash || lastDot - lastSlash <= 2);
        if (keptApart) {
            name = KeptApartName(url, mode, firstSlash, firstSlash + lastSlash);
        } else if (mode == kNoSubDirectories) {
            name = CopyBounded(url.host, kNameCap);
            AppendBounded(name, kNameCap, options.urlEscapeFilenames ? "/" : "_");
            AppendBounded(name, kNameCap, url.path);
        } else {
            name = CopyBounded(url.path, kNameCap);
        }
    }
    if (mode == kMirrorDirectories) {
        ReplaceChar(name, '\\', '/');
    } else if (options.urlEscapeFilenames) {
        name = FormEncoded(WithoutScheme(url.url));
    } else {
        name = Flattened(std::move(name));
    }
    if (url.file.empty() || url.file.front() == '?') {
        if (name.empty()) {
            name = kIndexName;
        } else if (name.back() == '/') {
            AppendBounded(name, kNameCap, kIndexName);
        }
    }
    return target;
}

DiskSearch DiskSearchFrom(const AppSettings& settings) {
    DiskSearch search;
    search.searchDirectories = [&settings](const DirectoryVisitor& visit) {
        const int count =
            std::min(settings.checkDirCount.load(std::memory_order_relaxed), kCheckDirCount);
        for (int i = 0; i < count; ++i) {
            const std::string directory = settings.checkDirs[static_cast<std::size_t>(i)].Get();
            if (!directory.empty() && visit(directory)) {
                return true;
            }
        }
        return false;
    };
    search.searchSavedSubDirs = settings.searchDlSubDirs.load(std::memory_order_relaxed);
    search.singleRedirectParam = settings.singleRedirectParam.load(std::memory_order_relaxed);
    return search;
}

// Derived from the worker's own naming rather than from a separate rule, so
// that it never misses a file a worker saved.
bool FindOnDisk(std::string_view url, const SaveNameOptions& options, const DiskSearch& search,
                std::string* foundPath) {
    url = url.substr(0, url.find('\0'));
    const WorkerUrl split = SplitWorkerUrl(url);
    if (split.pathOnly) {
        return false;
    }
    std::optional<std::string> composed = ComposedPathFor(split, options);
    if (!composed) {
        return false;
    }
    std::string path = std::move(*composed);
    const std::size_t query = path.find('?');
    if (query != std::string::npos && options.webPagesWanted && search.dynamicPageExists) {
        if (search.dynamicPageExists(path, query)) {
            if (foundPath != nullptr) {
                *foundPath = ResolveLocalPath(path).value_or(path);
            }
            return true;
        }
    }
    if (search.singleRedirectParam && foundPath != nullptr) {
        const std::size_t mark = url.find('?');
        const std::size_t amp = mark == std::string_view::npos ? mark : url.find('&', mark);
        if (amp != std::string_view::npos) {
            *foundPath = CopyBounded(url.substr(0, amp + 1), kUrlCapacity);
        }
    }
    // The path the worker's open really uses.
    const std::optional<std::string> relative = ResolveLocalPath(path);
    if (!relative || relative->back() == '/') {
        return false;
    }
    const platform::fs::path inDownloads = search.downloadDir.empty()
                                               ? platform::fs::path(*relative)
                                               : platform::fs::path(search.downloadDir) / *relative;
    if (platform::FileExists(inDownloads)) {
        if (foundPath != nullptr) {
            *foundPath = *relative;
        }
        return true;
    }
    if (FoundInList(search.searchDirectories, *relative)) {
        return true;
    }
    return search.searchSavedSubDirs && FoundInList(search.savedSubDirectories, *relative);
}

std::optional<std::string> SavedPathFor(std::string_view url, const SaveNameOptions& options) {
    url = url.substr(0, url.find('\0'));
    const WorkerUrl split = SplitWorkerUrl(url);
    if (split.pathOnly) {
        return std::nullopt;
    }
    const std::optional<std::string> composed = ComposedPathFor(split, options);
    if (!composed) {
        return std::nullopt;
    }
    return ResolveLocalPath(*composed);
}

}  // namespace wg
