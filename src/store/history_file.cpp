#include "store/history_file.h"

namespace wg {

void AppendHistoryCount(std::string& out, std::int32_t count) {
    AppendI32(out, count);
}

void AppendHistoryUrl(std::string& out, std::string_view url) {
    AppendI32(out, static_cast<std::int32_t>(url.size() + 1));
    out.append(url);
    out.push_back('\0');
}

bool HistoryFileReader::ReadCount() {
    if (!bytes_.ReadI32(&count_)) {
        count_ = 0;
        return false;
    }
    if (count_ < 0) {
        count_ = 0;
    }
    return true;
}

bool HistoryFileReader::ReadLength(std::size_t* length) {
    std::int32_t len = 0;
    if (!bytes_.ReadI32(&len) || len < 0) {
        return false;
    }
    *length = static_cast<std::size_t>(len);
    return true;
}

bool HistoryFileReader::SkipRecord() {
    std::size_t length = 0;
    return ReadLength(&length) && bytes_.Skip(length);
}

bool HistoryFileReader::NextUrl(std::string* url) {
    std::size_t length = 0;
    std::string_view stored;
    if (!ReadLength(&length) || !bytes_.ReadBytes(length, &stored)) {
        return false;
    }
    url->assign(StoredText(stored));
    return true;
}

}  // namespace wg
