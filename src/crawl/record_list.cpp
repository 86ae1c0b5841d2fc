#include "crawl/record_list.h"

#include <algorithm>
#include <unordered_map>

namespace wg {

std::string_view SingleParamKey(std::string_view url) {
    const auto question = url.find('?');
    if (question == std::string_view::npos) {
        return {};
    }
    const auto amp = url.find('&', question + 1);
    if (amp == std::string_view::npos) {
        return {};
    }
    return url.substr(0, amp);
}

void RecordList::AddToIndexes(const UrlRecordPtr& record) {
    urls_.Add(record->url, record);
    const std::string_view key = SingleParamKey(record->url);
    if (!key.empty()) {
        keys_.Add(key, record);
    }
}

void RecordList::RemoveFromIndexes(const UrlRecord& record) {
    urls_.Remove(record.url);
    const std::string_view key = SingleParamKey(record.url);
    if (!key.empty()) {
        keys_.Remove(key);
    }
}

void RecordList::PushBack(UrlRecordPtr record) {
    AddToIndexes(record);
    entries_.push_back(std::move(record));
}

UrlRecordPtr RecordList::PopFront() {
    if (entries_.empty()) {
        return nullptr;
    }
    UrlRecordPtr record = std::move(entries_.front());
    entries_.pop_front();
    RemoveFromIndexes(*record);
    return record;
}

bool RecordList::ContainsUrl(std::string_view url) const {
    return urls_.Contains(url);
}

bool RecordList::ContainsKey(std::string_view key) const {
    return urls_.Contains(key) || keys_.Contains(key);
}

void RecordList::Prefetch(std::string_view url, bool forInsert) const {
    urls_.Prefetch(TextIndex::Hash(url), forInsert);
    const std::string_view key = SingleParamKey(url);
    if (!key.empty()) {
        const std::uint64_t hash = TextIndex::Hash(key);
        urls_.Prefetch(hash, false);
        keys_.Prefetch(hash, forInsert);
    }
}

bool RecordList::ContainsRecord(const UrlRecord* record) const {
    return std::any_of(entries_.rbegin(), entries_.rend(),
                       [record](const UrlRecordPtr& e) { return e.get() == record; });
}

bool RecordList::RemoveRecord(const UrlRecord* record) {
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [record](const UrlRecordPtr& e) { return e.get() == record; });
    if (it == entries_.end()) {
        return false;
    }
    UrlRecordPtr keep = std::move(*it);  // the index views stay valid until unindexed
    entries_.erase(it);
    RemoveFromIndexes(*keep);
    return true;
}

std::size_t RecordList::RemoveIf(const std::function<bool(const UrlRecord&)>& remove) {
    std::deque<UrlRecordPtr> kept;
    std::size_t removed = 0;
    for (auto& e : entries_) {
        if (remove(*e)) {
            RemoveFromIndexes(*e);
            ++removed;
        } else {
            kept.push_back(std::move(e));
        }
    }
    entries_.swap(kept);
    return removed;
}

void RecordList::Clear(const std::function<void()>& every4096) {
    std::size_t dropped = 0;
    urls_.Clear();
    keys_.Clear();
    while (!entries_.empty()) {
        entries_.pop_back();
        if (++dropped % 4096 == 0 && every4096) {
            every4096();
        }
    }
}

bool RecordList::IndexMatches() const {
    std::unordered_map<std::string_view, std::size_t> urls;
    std::unordered_map<std::string_view, std::size_t> keys;
    for (const auto& e : entries_) {
        ++urls[e->url];
        const std::string_view key = SingleParamKey(e->url);
        if (!key.empty()) {
            ++keys[key];
        }
    }
    const auto same = [](const std::unordered_map<std::string_view, std::size_t>& counted,
                         const TextIndex& index) {
        if (counted.size() != index.Distinct()) {
            return false;
        }
        bool equal = true;
        index.ForEach([&](std::string_view text, std::size_t count) {
            auto it = counted.find(text);
            equal = equal && it != counted.end() && it->second == count;
        });
        return equal;
    };
    return same(urls, urls_) && same(keys, keys_);
}

}  // namespace wg
