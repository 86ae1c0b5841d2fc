// Byte-string helpers every part of the program uses: character replacement,
// a case-insensitive search that reports where a match ends, bounded copies
// that decide where texts are cut, space trimming, counting, form encoding.
//
// Positions are byte offsets. The fixed-buffer forms write only into the
// caller's buffer; a capacity always counts the terminating zero byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace wg {

// "No match" for the search functions.
inline constexpr std::size_t kNotFound = std::string_view::npos;

// Capacities used across the program (terminator included).
inline constexpr std::size_t kPathCapacity = 260;
inline constexpr std::size_t kUrlCapacity = 1040;
inline constexpr std::size_t kTypeListCapacity = 1024;

// Every byte `from` in the zero-terminated `text` becomes `to`. Returns `text`.
char* ReplaceChar(char* text, char from, char to);
void ReplaceChar(std::string& text, char from, char to);

// The same over exactly `length` bytes; zero bytes do not stop it.
char* ReplaceCharN(char* buffer, std::size_t length, char from, char to);

// Replaces every `ch` among the first `length` bytes by `replacement`, from the
// last occurrence to the first; an empty replacement cuts the text at the
// first `ch`. The result with its terminator stays within `capacity`.
char* ReplaceCharWithText(char* buffer, std::size_t length, std::size_t capacity, char ch,
                          const char* replacement);

// Case-insensitive search: the needle is ASCII-lowercased unless
// `needleIsLower`; haystack bytes 'A'..'Z' are folded, every other byte is
// compared unchanged. Returns the position just past the first match, or
// kNotFound (also for an empty needle or one longer than the haystack).
std::size_t FindNoCase(std::string_view haystack, std::string_view needle, bool needleIsLower);

// FindNoCase over a whole zero-terminated text.
std::size_t StrFindNoCase(const char* text, const char* needle, bool needleIsLower);
inline std::size_t StrFindNoCase(std::string_view text, std::string_view needle,
                                 bool needleIsLower) {
    return FindNoCase(text, needle, needleIsLower);
}

// FindNoCase with the needle taken as lowercase already, any length.
std::size_t FindNoCaseLower(std::string_view haystack, std::string_view needle);

// Bounded copies and appends into fixed buffers (see each rule in text.cpp).
void CopyBounded(char* destination, std::size_t capacity, const char* source);
void CopyBoundedN(char* destination, std::size_t capacity, const char* source, std::size_t count);
void AppendBounded(char* destination, std::size_t capacity, const char* source);
void AppendBoundedN(char* destination, std::size_t capacity, const char* source, std::size_t count);

// The same rules for std::string: the result is what the fixed buffer would hold.
std::string CopyBounded(std::string_view source, std::size_t capacity);
std::string CopyBoundedN(std::string_view source, std::size_t capacity, std::size_t count);
void AppendBounded(std::string& destination, std::size_t capacity, std::string_view source);
void AppendBoundedN(std::string& destination, std::size_t capacity, std::string_view source,
                    std::size_t count);

// Returns the first byte that is not a space (32); trailing spaces become
// terminators in place. Tabs, CR and LF are kept.
char* TrimSpaces(char* text);
std::string_view TrimSpaces(std::string_view text);

// Number of bytes equal to `ch`.
std::size_t CountChar(std::string_view text, char ch);

// Form-style encoding into a fixed buffer: space to '+', [0-9A-Za-z-._]
// unchanged, everything else %XX. Returns false when output stopped at the
// capacity bound (written >= capacity - 3 after a byte).
bool UrlFormEncode(const char* source, char* destination, std::size_t capacity);
bool UrlFormEncode(std::string_view source, std::string& destination, std::size_t capacity);

// ASCII lowercase (only 'A'..'Z' change).
std::string ToLowerAscii(std::string_view text);
char LowerAscii(char c);

// Equal, or beginning with `prefix`, ignoring ASCII case.
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// Without leading and trailing spaces and tabs.
std::string_view TrimBlanks(std::string_view text);

// Ticks per second of the high-resolution clock (1000: it counts milliseconds).
std::uint64_t TimerFrequency();

// A monotonic millisecond count.
std::uint64_t NowMilliseconds();

}  // namespace wg
