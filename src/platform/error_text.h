// The system's error codes and their texts.
#pragma once

#include <string>

namespace wg::platform {

// The calling thread's last system error (errno), read before anything else can change it.
int LastError();
void SetLastError(int error);

// The system's message for an error code, without a final period;
// "Unknown error" for a code the system has no message for.
std::string ErrorText(int error);

// The short texts shown after a failed file open or copy: "File not found",
// "System error too many open the files.", "Access denied",
// "Cannot access file as it is being used by another process.", or empty for
// every other error (the caller then shows its own message).
std::string ShortFileErrorText(int error);

}  // namespace wg::platform
