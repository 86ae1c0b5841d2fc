#include "store/dirs_file.h"

#include "store/byte_io.h"

namespace wg {

std::string EncodeDirsFile(const std::vector<std::string>& dirs) {
    std::string out;
    std::int32_t count = 0;
    std::string body;
    for (const std::string& dir : dirs) {
        if (dir.size() + 1 > kDirsPathLimit) {
            continue;  // the reader would refuse it
        }
        AppendU16(body, static_cast<std::uint16_t>(dir.size() + 1));
        body.append(dir);
        body.push_back('\0');
        ++count;
    }
    AppendI32(out, count);
    out += body;
    return out;
}

DirsFileContent DecodeDirsFile(std::string_view bytes) {
    DirsFileContent content;
    ByteReader reader(bytes);
    if (!reader.ReadI32(&content.dirCount)) {
        content.dirCount = 0;
        return content;
    }
    for (std::int32_t i = 0; i < content.dirCount; ++i) {
        std::uint16_t len = 0;
        if (!reader.ReadU16(&len)) {
            break;
        }
        if (len == 0) {
            continue;
        }
        if (len > kDirsPathLimit) {
            content.refused = true;
            break;
        }
        std::string_view stored;
        if (!reader.ReadBytes(len, &stored)) {
            break;
        }
        const std::string_view path = StoredText(stored);
        if (path.size() + 1 > kDirsPathLimit) {
            // No zero byte in a full-length entry: the path and its
            // terminator would not fit.
            content.refused = true;
            break;
        }
        content.dirs.emplace_back(path);
    }
    return content;
}

}  // namespace wg
