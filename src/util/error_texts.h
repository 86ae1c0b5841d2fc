// Texts for failed system calls: the short file error texts shown after a
// failed open or copy, and the system's message for an error code, written to
// the error log or shown in a message box.
#pragma once

#include <functional>
#include <string>

namespace wg {

// Caption of the box that ShowWindowsError shows.
inline constexpr const char* kSystemErrorCaption = "System Error";

// The short text for a failed file open or copy ("File not found", "Access
// denied", ...), empty for errors without one.
std::string FileErrorText(int systemError);

// The system's message for `error` ("Unknown error" when it has none),
// followed by " - " and `context` when a context is given.
std::string SystemErrorMessage(int error, const char* context);

// Writes SystemErrorMessage for the calling thread's last system error to the
// error log. The error code is read before anything else happens.
void LogWindowsError(const char* context);
// The same for an error code the caller already holds (an errno returned by a
// platform function).
void LogWindowsError(int error, const char* context);

using ErrorBoxFunction = std::function<void(const std::string& text, const std::string& caption)>;

// Shows SystemErrorMessage for the calling thread's last system error through
// `showBox`, with the caption kSystemErrorCaption.
void ShowWindowsError(const char* context, const ErrorBoxFunction& showBox);
void ShowWindowsError(int error, const char* context, const ErrorBoxFunction& showBox);

}  // namespace wg
