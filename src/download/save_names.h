// The download worker's rule from a URL to the save directory and save name
// it hands to RunTransaction, and the "already downloaded" test that recomputes
// that path to look for the file on disk.
//
// Save names use '/' as their separator ('\' in a URL counts as one too, as
// it does in every local path); the composition into the final local path is
// ComposeLocalPath / ComposeHttpsLocalPath (save_paths.h).
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace wg {

struct AppSettings;

// A URL split the way a download worker splits it.
struct WorkerUrl {
    // The URL as the worker requests it: a '/' is appended when the text from
    // the first '/' after the host on has no '.' and does not end with '/'
    // (such a URL names a directory).
    std::string url;
    // No colon anywhere and a leading '/': a path on the worker's current
    // server. Only `url` and `path` are set then.
    bool pathOnly = false;
    bool secure = false;  // begins with "https:" (any case)
    // The host text as written, a port included. It starts three characters
    // after the first colon (at the start when there is no colon) and ends at
    // the first '/' after that.
    std::string host;
    // The host without a final ':' and decimal digits, and those digits; the
    // port is "443" (https) or "80" when the host names none. A colon not
    // followed by digits only stays in the host name.
    std::string hostName;
    std::string port;
    bool hasSlash = false;  // a '/' follows the host
    std::string path;       // the text after that '/', query included
    // The text from after that '/' up to the last '/', without the last '/'
    // (the connection's path); and the text after the last '/', query
    // included (the requested name). Both empty without a '/'.
    std::string directory;
    std::string file;
};

WorkerUrl SplitWorkerUrl(std::string_view url);

// DOWNLOAD_DIR_STRUCTURE values.
enum DirectoryMode : int {
    kMirrorDirectories = 0,  // "Directories Mirroring Those On Website "
    kSiteDirectory = 1,      // "Directory Named After Website"
    kNoSubDirectories = 2,   // "Do Not Create Any Sub Directories"
};

struct SaveNameOptions {
    int mode = kMirrorDirectories;    // DOWNLOAD_DIR_STRUCTURE; other values act as 0
    bool urlEscapeFilenames = false;  // URL_ESCAPE_FILENAMES (modes 1 and 2 only)
    bool webPagesWanted = false;      // the "Web Pages" download type (DFT bit 0)
};

SaveNameOptions SaveNameOptionsFrom(const AppSettings& settings);

// What the worker passes to RunTransaction as save directory and save name.
struct SaveTarget {
    std::string saveDir;
    std::string saveName;
};

// Save names are built in a 260-byte buffer and cut silently.
//
// For a URL with a host: the save directory is the host name (port removed)
// in modes 0 and 1, empty in mode 2. The save name is the path after the
// host, except that with the web-page type off, a last segment without an
// extension of its own (the last '.' lies before the last '/') or with the
// '.' at most two characters after the last '/' is kept apart from a
// directory of the same name: "ver2.0/setup" is saved as "ver2.0/0setup",
// "pics/a.jpg" as "pics/0a.jpg" (an empty directory part becomes "/" in
// mode 0, "_" in mode 1). Mode 2 puts the host text (port included) and '_'
// in front. Modes 1 and 2 turn '/' into '_'; with URL_ESCAPE_FILENAMES they
// name the file by the form-encoded URL without its scheme instead. A URL
// whose file part is empty or a bare query gets "index.html" for an empty
// name or after a final '/'.
//
// For a path-only URL: the path without its leading '/' ('/' turned into '_'
// in modes 1 and 2, or the form-encoded path with its '/' when escaping), in
// the save directory `connectionHost`, the host of the worker's connection.
SaveTarget SaveNameFor(const WorkerUrl& url, const SaveNameOptions& options,
                       std::string_view connectionHost = {});

// Visits directories in order until `visit` answers true; answers that.
using DirectoryVisitor = std::function<bool(std::string_view directory)>;
using DirectoryList = std::function<bool(const DirectoryVisitor& visit)>;

// Where FindOnDisk looks besides the download directory, and its hooks. A
// default-constructed value looks in the current directory only.
struct DiskSearch {
    std::string downloadDir;          // empty: the current directory
    DirectoryList searchDirectories;  // "Directories To Search"; empty entries are skipped
    DirectoryList savedSubDirectories;
    bool searchSavedSubDirs = false;   // SEARCH_DLSUB_DIRS: look in savedSubDirectories
    bool singleRedirectParam = false;  // SINGLE_REDIRECT_PARAM
    // The stored-page test of query pages: given the relative path (with a
    // '?' at `queryPos`), renames it in place to the page's stored name and
    // answers whether that file exists. Empty: not asked.
    std::function<bool(std::string& path, std::size_t queryPos)> dynamicPageExists;
};

// Search directories CHECK_DIR0.. below the check-directory count, read when
// FindOnDisk runs, and the two flags. `settings` must outlive the result. The
// saved sub-directory list is left for its owner to set.
DiskSearch DiskSearchFrom(const AppSettings& settings);

// True when the file a download worker saves for `url` exists: in the
// download directory, else below one of the search directories, else (with
// searchSavedSubDirs) below one of the saved sub-directories.
//
// The path is recomputed with the worker's own rule (SaveNameFor and the
// composition RunTransaction applies, the https one for https URLs), so that
// every file a worker saved is found again; a path-only URL has no host and
// is never found. A path that would leave its directory is refused before
// anything is probed, so no URL reaches a file outside the directory
// searched. A query path with the web-page type on is first given to the
// dynamicPageExists hook, whose renamed path the later steps look for.
//
// `foundPath`: with singleRedirectParam on, the URL up to and including the
// first '&' after its '?' is stored first (when there is such a '&'); on a
// find in the download directory the file's path relative to it is stored,
// as it stands on disk (already resolved: hand it to the platform file calls,
// not to OpenFileSafe, which would neutralise surplus ".." pairs once more).
bool FindOnDisk(std::string_view url, const SaveNameOptions& options, const DiskSearch& search,
                std::string* foundPath = nullptr);

// The path, relative to the download directory and resolved, under which a
// download worker saves `url` (query pages before their renaming); nothing
// for a path-only URL or one that would leave the directory.
std::optional<std::string> SavedPathFor(std::string_view url, const SaveNameOptions& options);

}  // namespace wg
