#include "dupes/dupe_data.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>

#include "platform/files.h"

namespace wg {

std::uint64_t DupeData::Key(const Fingerprint& print) {
    std::uint64_t key = (static_cast<std::uint64_t>(print.headSum) << 32) | print.bodySum;
    key ^= static_cast<std::uint64_t>(print.size) * 0x9E3779B97F4A7C15ULL;
    return key;
}

void DupeData::Append(DupeRecord record, std::size_t limit) {
    const std::uint64_t id = firstId_ + records_.size();
    byPrint_.emplace(Key(record.print), id);
    records_.push_back(std::move(record));
    while (limit != 0 && records_.size() > limit) {
        auto [from, to] = byPrint_.equal_range(Key(records_.front().print));
        for (auto it = from; it != to; ++it) {
            if (it->second == firstId_) {
                byPrint_.erase(it);
                break;
            }
        }
        records_.pop_front();
        ++firstId_;
    }
}

std::vector<std::size_t> DupeData::WithPrint(const Fingerprint& print) const {
    std::vector<std::size_t> found;
    auto [from, to] = byPrint_.equal_range(Key(print));
    for (auto it = from; it != to; ++it) {
        const std::size_t at = static_cast<std::size_t>(it->second - firstId_);
        if (records_[at].print == print) {
            found.push_back(at);
        }
    }
    std::sort(found.begin(), found.end(), std::greater<>());
    return found;
}

void DupeData::Clear(const std::function<void()>& tick) {
    std::size_t freed = 0;
    while (!records_.empty()) {
        records_.pop_back();
        if (++freed % 4096 == 0 && tick) {
            tick();
        }
    }
    byPrint_.clear();
    firstId_ = 0;
}

std::string DupeData::Encode() const {
    std::string body;
    std::int32_t count = 0;
    for (const DupeRecord& r : records_) {
        if (AppendDupeRecord(body, r)) {
            ++count;
        }
    }
    return DupeBinFile(count, body);
}

long ForEachFileToRecord(
    const std::string& dir,
    const std::function<bool(const std::string& name, const std::string& fullPath)>& visit) {
    long files = 0;
    const int error = platform::EnumerateDirectory(dir, [&](const platform::DirEntry& entry) {
        if (entry.isDirectory) {
            return true;
        }
        const std::string& name = entry.name;
        if (name[0] == '.' && (name.size() == 2 || name.starts_with(".."))) {
            return true;
        }
        ++files;
        return visit(name, JoinDupePath(dir, name));
    });
    return error == 0 ? files : -1;
}

std::string JoinDupePath(std::string_view dir, std::string_view name) {
    std::string path(dir);
    if (!path.empty() && path.back() != '/' && path.back() != '\\') {
        path += '/';
    }
    path += name;
    return path;
}

bool SameDupeDirectory(std::string_view a, std::string_view b) {
    if (a.empty() || b.empty()) {
        return false;
    }
    auto normal = [](std::string_view text) {
        std::string s = std::filesystem::path(text).lexically_normal().string();
        while (s.size() > 1 && s.back() == '/') {
            s.pop_back();
        }
        return s;
    };
    return a == b || normal(a) == normal(b);
}

bool SameFileBytes(const std::string& a, const std::string& b) {
    platform::FilePtr fa = platform::OpenFile(a, "rb");
    platform::FilePtr fb = platform::OpenFile(b, "rb");
    if (!fa || !fb) {
        return false;
    }
    constexpr std::size_t kBlock = 64 * 1024;
    std::vector<char> ba(kBlock);
    std::vector<char> bb(kBlock);
    while (true) {
        const std::size_t na = std::fread(ba.data(), 1, kBlock, fa.get());
        const std::size_t nb = std::fread(bb.data(), 1, kBlock, fb.get());
        if (na != nb || std::memcmp(ba.data(), bb.data(), na) != 0) {
            return false;
        }
        if (na < kBlock) {
            return std::ferror(fa.get()) == 0 && std::ferror(fb.get()) == 0;
        }
    }
}

}  // namespace wg
