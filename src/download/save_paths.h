// Local file paths of downloads, and the guarded open and directory creation
// that every writer of files below the download directory goes through.
//
// Paths are relative to the current directory, which is the download
// directory while a crawl runs. The naming rules were laid down with '\' as
// the directory separator; here '\' and '/' are both separators in every
// input and every result is '/'-separated, so "..\" in a rule is "../" (or
// "..\") here. A text ends at its first zero byte, as it would in a buffer.
//
// Containment: no name may reach outside the directory it is relative to.
// Before anything is opened or created the path is resolved lexically (empty
// and "." components dropped, ".." taken back against the component before
// it); an absolute path, a path that climbs above its start at any point, and
// a path that names the directory itself are refused. A refused path creates
// and writes nothing; the refusal text is handed back for the debug log.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace wg {

// Composed paths are cut silently to what a 1,040-byte buffer holds.
inline constexpr std::size_t kLocalPathCapacity = 1040;

// The path a plain HTTP transfer writes to, from the save directory (the
// site's host, or empty), the save name given by the download worker (or
// none) and the requested name:
//   1. save name and directory: site directory, '/', then "index.html" for an
//      empty save name, else the save name with its leading "../" removed
//      while the directory has no separator; a final '/' gets "index.html";
//   2. save name, no directory: the save name as it is;
//   3. no save name, directory: site directory, then "/index.html" for an
//      empty name, the name itself when it starts with a separator, else '/'
//      and the name with its leading "../" removed as in 1;
//   4. neither: the name.
// The site directory is `saveDir` with every '.' turned into '_'. An empty
// result means the transfer keeps the body in memory.
std::string ComposeLocalPath(std::string_view saveDir, std::optional<std::string_view> saveName,
                             std::string_view name);

// The https form: site directory, '/', then the save name (or `name` when no
// save name is given), "index.html" when that is empty; without a directory
// just the save name (or `name`), or "index.html". Leading "../" stay; the
// containment check of the open refuses what would escape.
std::string ComposeHttpsLocalPath(std::string_view saveDir,
                                  std::optional<std::string_view> saveName, std::string_view name);

// The lexically resolved form of the relative `path`, or nothing when it is
// absolute, climbs above its start with "..", or is empty once resolved; then
// `*why` (when given) holds a short text naming the path. A trailing
// separator (or a final "." or "..") is kept as a final '/'.
std::optional<std::string> ContainedPath(std::string_view path, std::string* why = nullptr);

// The path OpenFileSafe really opens: surplus ".." pairs are neutralised
// first (when the pairs are at least as many as the separators counted
// beside them, pairs from the left become "__" until they no longer
// outnumber the separators), then the result goes through ContainedPath.
std::optional<std::string> ResolveLocalPath(std::string_view path, std::string* why = nullptr);

// Opens the resolved `path` with an fopen `mode`. Null for an empty path, a
// refused path (with the reason in `*refusal`) or a failed open (`*refusal`
// empty).
platform::FilePtr OpenFileSafe(std::string_view path, const char* mode,
                               std::string* refusal = nullptr, int* error = nullptr);

// Creates every directory before the last separator of the resolved `path`
// (cut to 1,040 bytes first), never its last component. Errors such as an
// existing directory are ignored; a refused path creates nothing and leaves
// the reason in `*refusal`.
void CreateDirectoriesFor(std::string_view path, std::string* refusal = nullptr);

// A file being received stands under its partial name (its name and
// ".wgpart") until the transfer is complete, so that a file under its own
// name is always whole, even after the program was killed.
inline constexpr std::string_view kPartialSuffix = ".wgpart";
std::string PartialNameOf(std::string_view path);
// Gives the complete partial file of `path` its own name (both resolved as
// OpenFileSafe resolves them); 0 or an errno value.
int CommitPartialFile(std::string_view path);
// Deletes the partial file of `path`.
void DeletePartialFile(std::string_view path);

}  // namespace wg
