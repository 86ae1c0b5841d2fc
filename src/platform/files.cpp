#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

namespace wg::platform {

void FileCloser::operator()(std::FILE* f) const noexcept {
    if (f != nullptr) {
        (void)std::fclose(f);
    }
}

int CloseFile(FilePtr& file) {
    std::FILE* f = file.release();
    if (f == nullptr) {
        return 0;
    }
    int error = 0;
    if (std::fflush(f) != 0) {
        error = errno;
    }
    if (std::fclose(f) != 0 && error == 0) {
        error = errno;
    }
    return error;
}

FilePtr OpenFile(const fs::path& path, const char* mode, int* error) {
    errno = 0;
    std::FILE* f = std::fopen(path.c_str(), mode);
    if (f == nullptr && error != nullptr) {
        *error = errno != 0 ? errno : EIO;
    }
    return FilePtr(f);
}

bool FileExists(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PathExists(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

int CreateDirectories(const fs::path& dir) {
    if (dir.empty()) {
        return 0;
    }
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (DirectoryExists(dir)) {
        return 0;
    }
    return ec ? ec.value() : ENOTDIR;
}

int DirectoryWritable(const fs::path& dir) {
    if (!DirectoryExists(dir)) {
        return ENOTDIR;
    }
    std::string name = (dir / ".wg-write-test-XXXXXX").string();
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        return errno;
    }
    ::close(fd);
    ::unlink(name.c_str());
    return 0;
}

int CopyFile(const fs::path& from, const fs::path& to, bool overwrite) {
    std::error_code ec;
    const auto opts = overwrite ? fs::copy_options::overwrite_existing : fs::copy_options::none;
    if (!fs::copy_file(from, to, opts, ec)) {
        return ec ? ec.value() : EEXIST;
    }
    return 0;
}

int MoveFile(const fs::path& from, const fs::path& to) {
    if (::rename(from.c_str(), to.c_str()) == 0) {
        return 0;
    }
    const int err = errno;
    if (err != EXDEV) {
        return err;
    }
    const int copied = CopyFile(from, to, true);
    if (copied != 0) {
        return copied;
    }
    return ::unlink(from.c_str()) == 0 ? 0 : errno;
}

int ForceDelete(const fs::path& path) {
    if (::unlink(path.c_str()) == 0) {
        return 0;
    }
    int err = errno;
    if (err != EACCES && err != EPERM) {
        return err;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        (void)::chmod(path.c_str(), st.st_mode | S_IWUSR);
    }
    fs::path parent = path.parent_path();
    if (parent.empty()) {
        parent = ".";
    }
    if (::stat(parent.c_str(), &st) == 0) {
        (void)::chmod(parent.c_str(), st.st_mode | S_IWUSR | S_IXUSR);
    }
    return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

int RemoveTree(const fs::path& dir) {
    std::error_code ec;
    fs::remove_all(dir, ec);
    return ec ? ec.value() : 0;
}

std::int64_t FileSize(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return -1;
    }
    return static_cast<std::int64_t>(st.st_size);
}

int EnumerateDirectory(const fs::path& dir, const std::function<bool(const DirEntry&)>& visit) {
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec) {
        return ec.value();
    }
    while (it != fs::directory_iterator()) {
        DirEntry entry;
        entry.name = it->path().filename().string();
        std::error_code statEc;
        entry.isDirectory = it->is_directory(statEc);
        entry.isSymlink = it->is_symlink(statEc);
        if (!entry.isDirectory) {
            entry.isRegular = it->is_regular_file(statEc);
            const auto size = it->file_size(statEc);
            entry.size = statEc ? 0 : size;
        }
        if (!visit(entry)) {
            break;
        }
        // A failed step makes the iterator the end one: check before comparing.
        it.increment(ec);
        if (ec) {
            return ec.value();
        }
    }
    return 0;
}

fs::path CurrentDirectory() {
    std::error_code ec;
    auto p = fs::current_path(ec);
    return ec ? fs::path(".") : p;
}

int SetCurrentDirectory(const fs::path& dir) {
    return ::chdir(dir.c_str()) == 0 ? 0 : errno;
}

bool ReadWholeFile(const fs::path& path, std::string* bytes, int* error) {
    FilePtr file = OpenFile(path, "rb", error);
    if (!file) {
        return false;
    }
    bytes->clear();
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        bytes->append(buffer, got);
    }
    return std::ferror(file.get()) == 0;
}

void RemoveLeftoverTemporaries(const fs::path& path) {
    const std::string prefix = path.filename().string() + ".tmp";
    fs::path dir = path.parent_path();
    if (dir.empty()) {
        dir = ".";
    }
    std::error_code ec;
    std::vector<fs::path> leftovers;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0) {
            leftovers.push_back(it->path());
        }
    }
    for (const fs::path& leftover : leftovers) {
        (void)::unlink(leftover.c_str());
    }
}

int WriteFileAtomically(const fs::path& path, const std::string& data) {
    // A unique temporary name beside the file, so that two saves never share one.
    std::string tmpName = path.string() + ".tmpXXXXXX";
    const int fd = ::mkostemp(tmpName.data(), O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    // The new file keeps the permissions of the one it replaces; a first save
    // stays private to its owner (cookies and state are personal).
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) {
        (void)::fchmod(fd, old.st_mode & 07777);
    }
    const fs::path tmp(tmpName);
    std::size_t written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.data() + written, data.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int err = errno;
            (void)::close(fd);
            (void)::unlink(tmp.c_str());
            return err;
        }
        written += static_cast<std::size_t>(n);
    }
    const int syncErr = ::fsync(fd) == 0 ? 0 : errno;
    const int closeErr = ::close(fd) == 0 ? 0 : errno;
    if (syncErr != 0 || closeErr != 0) {
        (void)::unlink(tmp.c_str());
        return syncErr != 0 ? syncErr : closeErr;
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        (void)::unlink(tmp.c_str());
        return err;
    }
    return 0;
}

}  // namespace wg::platform
