#include "platform/error_text.h"

#include <cerrno>
#include <cstring>

namespace wg::platform {

int LastError() {
    return errno;
}

void SetLastError(int error) {
    errno = error;
}

std::string ErrorText(int error) {
    char buf[256];
    buf[0] = '\0';
    // The GNU variant may return a static text instead of filling buf.
    const char* text = strerror_r(error, buf, sizeof buf);
    std::string result = text != nullptr ? text : "";
    if (result.empty() || result.rfind("Unknown error", 0) == 0) {
        return "Unknown error";
    }
    while (!result.empty() && (result.back() == '.' || result.back() == '\n')) {
        result.pop_back();
    }
    return result;
}

std::string ShortFileErrorText(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return "File not found";
        case EMFILE:
        case ENFILE:
            return "System error too many open the files.";
        case EACCES:
        case EPERM:
            return "Access denied";
        case EBUSY:
        case ETXTBSY:
            return "Cannot access file as it is being used by another process.";
        default:
            return {};
    }
}

}  // namespace wg::platform
