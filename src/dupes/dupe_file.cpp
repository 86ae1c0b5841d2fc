#include "dupes/dupe_file.h"

#include "store/byte_io.h"

namespace wg {

namespace {

void AppendText32(std::string& out, std::string_view text) {
    AppendI32(out, static_cast<std::int32_t>(text.size() + 1));
    out.append(text);
    out.push_back('\0');
}

void AppendPrint(std::string& out, const Fingerprint& f) {
    AppendU32(out, f.headSum);
    AppendU32(out, f.bodySum);
    AppendU32(out, f.size);
}

bool ReadText32(ByteReader& r, std::size_t limit, std::string* text) {
    std::int32_t length = 0;
    std::string_view stored;
    if (!r.ReadI32(&length) || length < 1 || static_cast<std::size_t>(length) > limit ||
        !r.ReadBytes(static_cast<std::size_t>(length), &stored)) {
        return false;
    }
    // Without a zero byte a full-length text and its terminator would not fit.
    const std::string_view value = StoredText(stored);
    if (value.size() + 1 > limit) {
        return false;
    }
    text->assign(value);
    return true;
}

bool ReadPrint(ByteReader& r, Fingerprint* f) {
    return r.ReadU32(&f->headSum) && r.ReadU32(&f->bodySum) && r.ReadU32(&f->size);
}

}  // namespace

bool AppendDupeRecord(std::string& body, const DupeRecord& r) {
    if (r.name.size() + 1 > kDupeNameLimit || r.dir.size() + 1 > kDupeDirLimit) {
        return false;
    }
    AppendText32(body, r.name);
    AppendText32(body, r.dir);
    AppendPrint(body, r.print);
    return true;
}

std::string DupeBinFile(std::int32_t count, std::string_view body) {
    std::string out;
    out.reserve(8 + body.size());
    AppendI32(out, -1);
    AppendI32(out, count);
    out.append(body);
    return out;
}

std::string EncodeDupeBin(const std::vector<DupeRecord>& records) {
    std::string body;
    std::int32_t count = 0;
    for (const DupeRecord& r : records) {
        if (AppendDupeRecord(body, r)) {
            ++count;
        }
    }
    return DupeBinFile(count, body);
}

DupeFileContent DecodeDupeFile(std::string_view bytes) {
    DupeFileContent content;
    ByteReader r(bytes);
    std::int32_t first = 0;
    if (!r.ReadI32(&first)) {
        return content;
    }
    content.currentFormat = first == -1;
    if (content.currentFormat && !r.ReadI32(&content.count)) {
        content.count = 0;
        return content;
    }
    if (!content.currentFormat) {
        content.count = first;
    }
    for (std::int32_t i = 0; i < content.count; ++i) {
        DupeRecord record;
        bool ok = false;
        if (content.currentFormat) {
            ok = ReadText32(r, kDupeNameLimit, &record.name) &&
                 ReadText32(r, kDupeDirLimit, &record.dir) && ReadPrint(r, &record.print);
        } else {
            std::string path;
            ok =
                ReadText32(r, kDupeNameLimit + kDupeDirLimit, &path) && ReadPrint(r, &record.print);
            if (ok) {
                const std::size_t split = path.find_last_of("\\/");
                if (split == std::string::npos) {
                    record.name = path;
                } else {
                    record.name = path.substr(split + 1);
                    record.dir = path.substr(0, split + 1);
                }
                ok = record.name.size() + 1 <= kDupeNameLimit &&
                     record.dir.size() + 1 <= kDupeDirLimit;
            }
        }
        if (!ok) {
            content.stoppedEarly = true;
            break;
        }
        content.records.push_back(std::move(record));
    }
    return content;
}

}  // namespace wg
