#include "store/byte_io.h"

#include <cstring>

namespace wg {

bool ByteReader::ReadU8(std::uint8_t* value) {
    if (Remaining() < 1) {
        return false;
    }
    *value = static_cast<std::uint8_t>(bytes_[pos_]);
    ++pos_;
    return true;
}

bool ByteReader::ReadU16(std::uint16_t* value) {
    if (Remaining() < 2) {
        return false;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data() + pos_);
    *value = static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    pos_ += 2;
    return true;
}

bool ByteReader::ReadU32(std::uint32_t* value) {
    if (Remaining() < 4) {
        return false;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data() + pos_);
    *value = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
             (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    pos_ += 4;
    return true;
}

bool ByteReader::ReadI32(std::int32_t* value) {
    std::uint32_t u = 0;
    if (!ReadU32(&u)) {
        return false;
    }
    *value = static_cast<std::int32_t>(u);
    return true;
}

bool ByteReader::ReadBytes(std::size_t length, std::string_view* bytes) {
    if (Remaining() < length) {
        return false;
    }
    *bytes = bytes_.substr(pos_, length);
    pos_ += length;
    return true;
}

bool ByteReader::Skip(std::size_t length) {
    if (Remaining() < length) {
        return false;
    }
    pos_ += length;
    return true;
}

void AppendU8(std::string& out, std::uint8_t value) {
    out.push_back(static_cast<char>(value));
}

void AppendU16(std::string& out, std::uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

void AppendU32(std::string& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
    }
}

void AppendI32(std::string& out, std::int32_t value) {
    AppendU32(out, static_cast<std::uint32_t>(value));
}

std::string_view StoredText(std::string_view stored) {
    const std::size_t zero = stored.find('\0');
    return zero == std::string_view::npos ? stored : stored.substr(0, zero);
}

}  // namespace wg
