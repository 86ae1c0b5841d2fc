// File and directory operations. The rest of the system reaches the file
// system only through these functions; each returns 0 on success or an errno
// value, never throws.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace wg::platform {

namespace fs = std::filesystem;

struct FileCloser {
    void operator()(std::FILE* f) const noexcept;
};
// An open stdio stream that closes itself.
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Flushes and closes the stream (null afterwards): 0, or the errno of the
// first failure, which is where a full disk shows for buffered writes.
int CloseFile(FilePtr& file);

// Opens `path` with an fopen mode ("rb", "wb", "ab", "r+b", "a+" ...). On
// failure returns null and stores errno in `*error` when given.
FilePtr OpenFile(const fs::path& path, const char* mode, int* error = nullptr);

bool FileExists(const fs::path& path);       // a regular file (or link to one)
bool DirectoryExists(const fs::path& path);  // a directory
bool PathExists(const fs::path& path);       // anything at all

// Creates `dir` and every missing parent. 0 when the directory exists afterwards.
int CreateDirectories(const fs::path& dir);

// 0 when a file can be created in the directory `dir` (tried with a
// temporary file that is removed again), else the errno of the attempt.
int DirectoryWritable(const fs::path& dir);

// Copies a regular file; with `overwrite` false an existing target is an error (EEXIST).
int CopyFile(const fs::path& from, const fs::path& to, bool overwrite);

// Renames, replacing the target; falls back to copy and delete across file systems.
int MoveFile(const fs::path& from, const fs::path& to);

// Deletes a file; when that is refused, gives the owner write permission on the
// file and its directory and tries once more. A missing file is ENOENT.
int ForceDelete(const fs::path& path);

// Removes a directory tree. 0 also when it did not exist.
int RemoveTree(const fs::path& dir);

// Size of a regular file, or -1.
std::int64_t FileSize(const fs::path& path);

struct DirEntry {
    std::string name;          // the entry's name, without its directory
    bool isDirectory = false;  // a directory, or a link to one
    bool isSymlink = false;    // the entry itself is a symbolic link
    bool isRegular = false;    // a regular file, or a link to one
    std::uint64_t size = 0;
};

// Calls `visit` for every entry of `dir` except "." and "..", in the order the
// system gives them, until it returns false. Returns 0, or the errno of opening `dir`.
int EnumerateDirectory(const fs::path& dir, const std::function<bool(const DirEntry&)>& visit);

fs::path CurrentDirectory();
int SetCurrentDirectory(const fs::path& dir);

// Writes `data` to `path` crash-safely: a temporary file beside it, flushed and
// synced, then renamed over the old file.
int WriteFileAtomically(const fs::path& path, const std::string& data);

// The whole content of a file into `*bytes` (replacing what it held); false
// when it cannot be opened (errno in `*error`) or a read fails.
bool ReadWholeFile(const fs::path& path, std::string* bytes, int* error = nullptr);

// Deletes the temporary files WriteFileAtomically left beside `path` when the
// process died during a write (the names it makes: "<name>.tmp" and six
// characters). For files in small directories such as the program's own.
void RemoveLeftoverTemporaries(const fs::path& path);

}  // namespace wg::platform
