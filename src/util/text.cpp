#include "util/text.h"

#include <algorithm>
#include <cstring>

#include "platform/clock.h"

namespace wg {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

inline unsigned char FoldByte(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

// The part of a view that a zero-terminated buffer would hold: up to its first zero byte.
inline std::string_view AsCText(std::string_view text) {
    const std::size_t zero = text.find('\0');
    return zero == std::string_view::npos ? text : text.substr(0, zero);
}

// strlen bounded by `limit`.
inline std::size_t BoundedLength(const char* text, std::size_t limit) {
    if (text == nullptr) {
        return 0;
    }
    return ::strnlen(text, limit);
}

// How many characters of `sourceLength` may be appended to a text of
// `destinationLength` characters in a buffer of `capacity` (terminator included).
inline std::size_t AppendRoom(std::size_t destinationLength, std::size_t capacity,
                              std::size_t sourceLength) {
    if (capacity == 0 || destinationLength >= capacity - 1) {
        return 0;
    }
    return std::min(sourceLength, capacity - 1 - destinationLength);
}

// Characters one byte becomes in form encoding.
inline std::size_t FormEncodedSize(unsigned char c) {
    const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                       c == '-' || c == '.' || c == '_' || c == ' ';
    return plain ? 1 : 3;
}

inline std::size_t FormEncodeByte(unsigned char c, char* out) {
    if (c == ' ') {
        out[0] = '+';
        return 1;
    }
    if (FormEncodedSize(c) == 1) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    out[0] = '%';
    out[1] = kHexDigits[c >> 4];
    out[2] = kHexDigits[c & 0x0F];
    return 3;
}

}  // namespace

char* ReplaceChar(char* text, char from, char to) {
    if (text == nullptr) {
        return text;
    }
    for (char* p = text; *p != '\0'; ++p) {
        if (*p == from) {
            *p = to;
        }
    }
    return text;
}

void ReplaceChar(std::string& text, char from, char to) {
    std::replace(text.begin(), text.end(), from, to);
}

char* ReplaceCharN(char* buffer, std::size_t length, char from, char to) {
    if (buffer == nullptr) {
        return buffer;
    }
    std::replace(buffer, buffer + length, from, to);
    return buffer;
}

char* ReplaceCharWithText(char* buffer, std::size_t length, std::size_t capacity, char ch,
                          const char* replacement) {
    if (buffer == nullptr || capacity == 0) {
        return buffer;
    }
    if (replacement == nullptr) {
        replacement = "";
    }
    const std::size_t textLength = BoundedLength(buffer, capacity);
    length = std::min(length, textLength);
    const std::size_t replacementLength = std::strlen(replacement);

    if (replacementLength == 0) {
        char* first = static_cast<char*>(std::memchr(buffer, ch, length));
        if (first != nullptr) {
            *first = '\0';
        }
        buffer[std::min(textLength, capacity - 1)] = '\0';
        return buffer;
    }

    const std::size_t occurrences =
        static_cast<std::size_t>(std::count(buffer, buffer + length, ch));
    const std::size_t fullLength = textLength + occurrences * (replacementLength - 1);
    const std::size_t keptLength = std::min(fullLength, capacity - 1);

    // Fill from the back: every byte's new position is at or after its old
    // one, so nothing is overwritten before it has been read. Bytes that land
    // at or beyond the bound are dropped.
    std::size_t write = fullLength;
    for (std::size_t read = textLength; read-- > 0;) {
        if (read < length && buffer[read] == ch) {
            for (std::size_t k = replacementLength; k-- > 0;) {
                --write;
                if (write < keptLength) {
                    buffer[write] = replacement[k];
                }
            }
        } else {
            --write;
            if (write < keptLength) {
                buffer[write] = buffer[read];
            }
        }
    }
    buffer[keptLength] = '\0';
    return buffer;
}

std::size_t FindNoCase(std::string_view haystack, std::string_view needle, bool needleIsLower) {
    const std::size_t n = needle.size();
    if (n == 0 || n > haystack.size()) {
        return kNotFound;
    }
    const auto* h = reinterpret_cast<const unsigned char*>(haystack.data());
    const auto* s = reinterpret_cast<const unsigned char*>(needle.data());
    // A needle that is lowercased is folded byte by byte as it is compared; the
    // result is the same as comparing against a lowercased copy.
    const unsigned char first = needleIsLower ? s[0] : FoldByte(s[0]);
    const std::size_t lastStart = haystack.size() - n;
    // Only a letter has two forms; any other first byte is found by memchr.
    const bool letter = (first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z');
    for (std::size_t start = 0; start <= lastStart; ++start) {
        if (!letter) {
            const void* hit = std::memchr(h + start, first, lastStart - start + 1);
            if (hit == nullptr) {
                return kNotFound;
            }
            start = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - h);
        } else if (FoldByte(h[start]) != first) {
            continue;
        }
        std::size_t i = 1;
        if (needleIsLower) {
            while (i < n && FoldByte(h[start + i]) == s[i]) {
                ++i;
            }
        } else {
            while (i < n && FoldByte(h[start + i]) == FoldByte(s[i])) {
                ++i;
            }
        }
        if (i == n) {
            return start + n;
        }
    }
    return kNotFound;
}

std::size_t StrFindNoCase(const char* text, const char* needle, bool needleIsLower) {
    if (text == nullptr || needle == nullptr) {
        return kNotFound;
    }
    return FindNoCase(std::string_view(text), std::string_view(needle), needleIsLower);
}

std::size_t FindNoCaseLower(std::string_view haystack, std::string_view needle) {
    return FindNoCase(haystack, needle, true);
}

// Bounded copies and appends. A capacity counts the terminator, so at most
// capacity - 1 characters are ever held; a capacity of 0 leaves no room even
// for a terminator and nothing is written.
//  - CopyBounded: the source whole when it is shorter than the capacity,
//    otherwise its first capacity - 1 characters.
//  - CopyBoundedN: at most `count` characters of the source (count 0 gives an
//    empty text); the source is not read beyond `count` bytes.
//  - AppendBounded(N): appends (at most `count` characters of) the source, as
//    much as keeps the result at capacity - 1 characters. A destination that
//    already holds capacity - 1 characters or more is left as it is; the text
//    already there is never shortened.
// The std::string forms give the text the fixed buffer would hold: a source
// ends at its first zero byte, as it would in a buffer.

void CopyBounded(char* destination, std::size_t capacity, const char* source) {
    if (destination == nullptr || capacity == 0) {
        return;
    }
    const std::size_t count = BoundedLength(source, capacity - 1);
    if (count > 0) {
        std::memmove(destination, source, count);
    }
    destination[count] = '\0';
}

void CopyBoundedN(char* destination, std::size_t capacity, const char* source, std::size_t count) {
    if (destination == nullptr || capacity == 0) {
        return;
    }
    const std::size_t copied = BoundedLength(source, std::min(count, capacity - 1));
    if (copied > 0) {
        std::memmove(destination, source, copied);
    }
    destination[copied] = '\0';
}

void AppendBoundedN(char* destination, std::size_t capacity, const char* source,
                    std::size_t count) {
    if (destination == nullptr || capacity == 0) {
        return;
    }
    const std::size_t have = BoundedLength(destination, capacity);
    if (have >= capacity - 1) {
        return;
    }
    const std::size_t add = BoundedLength(source, std::min(count, capacity - 1 - have));
    if (add > 0) {
        std::memmove(destination + have, source, add);
    }
    destination[have + add] = '\0';
}

void AppendBounded(char* destination, std::size_t capacity, const char* source) {
    AppendBoundedN(destination, capacity, source, capacity);
}

std::string CopyBounded(std::string_view source, std::size_t capacity) {
    if (capacity == 0) {
        return {};
    }
    const std::string_view text = AsCText(source);
    return std::string(text.substr(0, capacity - 1));
}

std::string CopyBoundedN(std::string_view source, std::size_t capacity, std::size_t count) {
    if (capacity == 0) {
        return {};
    }
    const std::string_view text = AsCText(source.substr(0, std::min(source.size(), count)));
    return std::string(text.substr(0, capacity - 1));
}

void AppendBounded(std::string& destination, std::size_t capacity, std::string_view source) {
    const std::string_view text = AsCText(source);
    destination.append(text.substr(0, AppendRoom(destination.size(), capacity, text.size())));
}

void AppendBoundedN(std::string& destination, std::size_t capacity, std::string_view source,
                    std::size_t count) {
    const std::string_view text = AsCText(source.substr(0, std::min(source.size(), count)));
    destination.append(text.substr(0, AppendRoom(destination.size(), capacity, text.size())));
}

char* TrimSpaces(char* text) {
    if (text == nullptr) {
        return text;
    }
    std::size_t end = std::strlen(text);
    while (end > 0 && text[end - 1] == ' ') {
        text[--end] = '\0';
    }
    while (*text == ' ') {
        ++text;
    }
    return text;
}

std::string_view TrimSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return text.substr(text.size());
    }
    const std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::size_t CountChar(std::string_view text, char ch) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), ch));
}

bool UrlFormEncode(const char* source, char* destination, std::size_t capacity) {
    if (destination == nullptr || capacity == 0) {
        return false;
    }
    std::size_t written = 0;
    if (source != nullptr) {
        for (const char* p = source; *p != '\0'; ++p) {
            const auto c = static_cast<unsigned char>(*p);
            // Only reachable for capacities below 4: the encoded byte and the
            // terminator must still fit.
            if (written + FormEncodedSize(c) > capacity - 1) {
                destination[written] = '\0';
                return false;
            }
            written += FormEncodeByte(c, destination + written);
            if (written + 3 >= capacity) {
                destination[written] = '\0';
                return false;
            }
        }
    }
    destination[written] = '\0';
    return true;
}

bool UrlFormEncode(std::string_view source, std::string& destination, std::size_t capacity) {
    destination.clear();
    if (capacity == 0) {
        return false;
    }
    char encoded[3];
    for (const char ch : AsCText(source)) {
        const auto c = static_cast<unsigned char>(ch);
        if (destination.size() + FormEncodedSize(c) > capacity - 1) {
            return false;
        }
        destination.append(encoded, FormEncodeByte(c, encoded));
        if (destination.size() + 3 >= capacity) {
            return false;
        }
    }
    return true;
}

std::string ToLowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = static_cast<char>(FoldByte(static_cast<unsigned char>(c)));
    }
    return lower;
}

std::uint64_t TimerFrequency() {
    return 1000;
}

std::uint64_t NowMilliseconds() {
    return platform::SteadyMilliseconds();
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace wg
