#include "store/state_file.h"

#include <algorithm>

namespace wg {

namespace {

constexpr std::size_t kMaxText16 = 0xFFFE;  // a 16-bit length counts the zero byte

void AppendText16(std::string& out, std::string_view text) {
    AppendU16(out, static_cast<std::uint16_t>(text.size() + 1));
    out.append(text);
    out.push_back('\0');
}

}  // namespace

void AppendStateHeader(std::string& out) {
    AppendI32(out, kStateFileVersion);
}

void AppendStateCount(std::string& out, std::int32_t count) {
    AppendI32(out, count);
}

bool AppendStatePageRecord(std::string& out, const UrlRecord& record) {
    if (record.url.size() > kMaxText16 ||
        (record.hasBaseUrl && record.baseUrl.size() > kStateBaseUrlLimit)) {
        return false;
    }
    const auto flags = static_cast<std::uint8_t>((record.allLinked != 0 ? 1 : 0) |
                                                 (record.withinDomain != 0 ? 2 : 0) |
                                                 (record.thirdFlag != 0 ? 4 : 0));
    AppendU8(out, flags);
    AppendText16(out, record.url);
    if (record.hasBaseUrl) {
        AppendText16(out, record.baseUrl);
    } else {
        AppendU16(out, 0);
    }
    return true;
}

bool AppendStateUrl(std::string& out, std::string_view url) {
    if (url.size() > kMaxText16) {
        return false;
    }
    AppendText16(out, url);
    return true;
}

StateRead StateFileReader::ReadHeader() {
    std::int32_t first = 0;
    if (!bytes_.ReadI32(&first)) {
        return StateRead::Corrupt;
    }
    if (first <= 2) {
        if (first < 0) {
            return StateRead::Corrupt;
        }
        version_ = first;
        if (!bytes_.ReadI32(&pageCount_)) {
            return StateRead::Corrupt;
        }
    } else {
        version_ = 0;
        pageCount_ = first;
    }
    return pageCount_ < 0 ? StateRead::Corrupt : StateRead::Ok;
}

StateRead StateFileReader::ReadText(std::string* text, std::size_t limit) {
    std::size_t length = 0;
    if (version_ == 0) {
        std::uint32_t len = 0;
        if (!bytes_.ReadU32(&len)) {
            return StateRead::Corrupt;
        }
        length = len;
    } else {
        std::uint16_t len = 0;
        if (!bytes_.ReadU16(&len)) {
            return StateRead::Corrupt;
        }
        length = len;
    }
    if (length == 0 || length > limit) {
        return StateRead::Corrupt;
    }
    std::string_view stored;
    if (!bytes_.ReadBytes(length, &stored)) {
        return StateRead::Corrupt;
    }
    text->assign(StoredText(stored));
    return StateRead::Ok;
}

StateRead StateFileReader::NextPage(UrlRecord* record) {
    *record = UrlRecord{};
    if (version_ == 2) {
        std::uint8_t flags = 0;
        if (!bytes_.ReadU8(&flags)) {
            return StateRead::Corrupt;
        }
        record->allLinked = flags & 1;
        record->withinDomain = (flags >> 1) & 1;
        record->thirdFlag = (flags >> 2) & 1;
    } else {
        std::uint8_t allLinked = 0;
        std::uint8_t withinDomain = 0;
        if (!bytes_.ReadU8(&allLinked) || !bytes_.ReadU8(&withinDomain)) {
            return StateRead::Corrupt;
        }
        record->allLinked = allLinked <= 1 ? allLinked : 0;
        record->withinDomain = withinDomain;
    }
    const StateRead url = ReadText(&record->url, version_ == 0 ? 0xFFFFFFFFu : 0xFFFFu);
    if (url != StateRead::Ok || version_ == 0) {
        return url;
    }
    std::uint16_t baseLength = 0;
    if (!bytes_.ReadU16(&baseLength)) {
        return StateRead::Corrupt;
    }
    if (baseLength == 0) {
        return StateRead::Ok;
    }
    if (baseLength > kStateBaseUrlLimit) {
        return StateRead::BaseTooLong;
    }
    std::string_view stored;
    if (!bytes_.ReadBytes(baseLength, &stored)) {
        return StateRead::Corrupt;
    }
    record->baseUrl.assign(StoredText(stored));
    record->hasBaseUrl = true;
    return StateRead::Ok;
}

StateRead StateFileReader::ReadCount(std::int32_t* count) {
    if (bytes_.AtEnd()) {
        return StateRead::End;
    }
    if (!bytes_.ReadI32(count) || *count < 0) {
        return StateRead::Corrupt;
    }
    return StateRead::Ok;
}

StateRead StateFileReader::NextVisited(std::string* url) {
    if (version_ != 2 && !bytes_.Skip(2)) {  // flags that visited records no longer keep
        return StateRead::Corrupt;
    }
    return ReadText(url, version_ == 0 ? 0xFFFFFFFFu : 0xFFFFu);
}

StateRead StateFileReader::NextFileUrl(std::string* url) {
    return ReadText(url, version_ == 0 ? 0xFFFFFFFFu : 0xFFFFu);
}

std::size_t StateFileReader::ReserveFor(std::int32_t count) const {
    const std::size_t smallest = version_ == 0 ? 5 : 3;  // length word and a zero byte
    const std::size_t fits = bytes_.Remaining() / smallest;
    return count < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(count), fits);
}

}  // namespace wg
