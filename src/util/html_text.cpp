#include "util/html_text.h"

#include <array>
#include <cstdint>
#include <utility>

namespace wg {

namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 6> kNamed = {{
    {"amp", "&"},
    {"lt", "<"},
    {"gt", ">"},
    {"quot", "\""},
    {"apos", "'"},
    {"nbsp", "\xC2\xA0"},
}};

// The longest reference read: "&#x10FFFF;" and the named ones fit.
constexpr std::size_t kLongest = 10;

void AppendUtf8(std::uint32_t code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

int DigitValue(char c, bool hex) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (hex && c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (hex && c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Decodes the reference `body` (between '&' and ';') into `out`; false when
// it is none that is decoded.
bool DecodeOne(std::string_view body, std::string& out) {
    if (body.size() >= 2 && body[0] == '#') {
        const bool hex = body[1] == 'x' || body[1] == 'X';
        const std::string_view digits = body.substr(hex ? 2 : 1);
        if (digits.empty()) {
            return false;
        }
        std::uint32_t code = 0;
        for (const char c : digits) {
            const int d = DigitValue(c, hex);
            if (d < 0) {
                return false;
            }
            code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
        }
        // No NUL, no surrogate halves, nothing past the last code point.
        if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        AppendUtf8(code, out);
        return true;
    }
    for (const auto& [name, text] : kNamed) {
        if (body == name) {
            out += text;
            return true;
        }
    }
    return false;
}

}  // namespace

std::string DecodeCharacterReferences(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t amp = text.find('&', i);
        if (amp == std::string_view::npos) {
            out += text.substr(i);
            break;
        }
        out += text.substr(i, amp - i);
        const std::size_t semi = text.substr(amp + 1, kLongest).find(';');
        if (semi != std::string_view::npos && DecodeOne(text.substr(amp + 1, semi), out)) {
            i = amp + semi + 2;
        } else {
            out += '&';
            i = amp + 1;
        }
    }
    return out;
}

}  // namespace wg
