#include "app/update_texts.h"

#include <cstdio>
#include <cstdlib>

namespace wg {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

std::optional<double> ParseVersionText(std::string_view answer) {
    std::string_view text = answer.substr(0, kVersionTextLimit);
    if (const std::size_t end = text.find_first_of("\r\n"); end != std::string_view::npos) {
        text = text.substr(0, end);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    if (text.empty() || text.front() < '1' || text.front() > '9') {
        return std::nullopt;
    }
    const std::size_t dot = text.find('.');
    const std::string_view whole = text.substr(0, dot);
    const std::string_view part =
        dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);
    auto allDigits = [](std::string_view s) {
        for (const char c : s) {
            if (!IsDigit(c)) {
                return false;
            }
        }
        return true;
    };
    if (whole.size() > 4 || !allDigits(whole)) {
        return std::nullopt;
    }
    if (dot != std::string_view::npos && (part.empty() || part.size() > 4 || !allDigits(part))) {
        return std::nullopt;
    }
    // Only digits and one dot remain: strtod reads all of it.
    return std::strtod(std::string(text).c_str(), nullptr);
}

bool IsNewerVersion(double offered, double own) {
    return offered - 0.0001 > own;
}

std::string VersionLabel(double version) {
    char text[32];
    (void)std::snprintf(text, sizeof text, "%.2f", version);
    return text;
}

std::optional<Sha256Digest> ParseDigestText(std::string_view text) {
    constexpr std::size_t kHexDigits = 64;
    if (text.size() < kHexDigits) {
        return std::nullopt;
    }
    Sha256Digest digest{};
    for (std::size_t i = 0; i < digest.size(); ++i) {
        const int high = HexValue(text[2 * i]);
        const int low = HexValue(text[2 * i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        digest[i] = static_cast<unsigned char>(high * 16 + low);
    }
    const std::string_view rest = text.substr(kHexDigits);
    // The digits end the text, or white space parts them from a name.
    if (!rest.empty() && !IsBlank(rest.front())) {
        return std::nullopt;
    }
    return digest;
}

}  // namespace wg
