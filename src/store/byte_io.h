// Little-endian reading and writing of the program's binary files. A reader
// never reads past the end of its bytes: every read says whether the whole
// value was there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace wg {

class ByteReader {
public:
    explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}

    bool AtEnd() const { return pos_ == bytes_.size(); }
    std::size_t Remaining() const { return bytes_.size() - pos_; }
    std::size_t Position() const { return pos_; }

    bool ReadU8(std::uint8_t* value);
    bool ReadU16(std::uint16_t* value);
    bool ReadU32(std::uint32_t* value);
    bool ReadI32(std::int32_t* value);
    // `length` bytes as they stand.
    bool ReadBytes(std::size_t length, std::string_view* bytes);
    bool Skip(std::size_t length);

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
};

void AppendU8(std::string& out, std::uint8_t value);
void AppendU16(std::string& out, std::uint16_t value);
void AppendU32(std::string& out, std::uint32_t value);
void AppendI32(std::string& out, std::int32_t value);

// A stored text is its bytes and a terminating zero; the text ends at the
// first zero byte of the stored bytes.
std::string_view StoredText(std::string_view stored);

}  // namespace wg
