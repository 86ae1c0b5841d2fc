// What the update server answers: the newest version number, and the
// SHA-256 digest published beside the new program.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace wg {

// The version this program reports and compares with.
inline constexpr double kProgramVersion = 1.29;
inline constexpr std::size_t kVersionTextLimit = 15;

// The version text of the server's answer: at most its first 15 bytes, up to
// the end of its first line, must be a version number ("1.30": a digit 1 to 9,
// at most three more digits, and at most one decimal part of one to four
// digits). Anything else (an empty answer, an error page, "1.2.3", a number
// too large to be a version, binary bytes) gives none.
std::optional<double> ParseVersionText(std::string_view answer);

// The offered version is newer than `own` (a difference below 0.0001 is none).
bool IsNewerVersion(double offered, double own);

// The version as the status line shows it ("1.30").
std::string VersionLabel(double version);

using Sha256Digest = std::array<unsigned char, 32>;

// The digest file: 64 hexadecimal digits, optionally followed by white space
// and a file name (as sha256sum writes it). Anything else gives none.
std::optional<Sha256Digest> ParseDigestText(std::string_view text);

}  // namespace wg
