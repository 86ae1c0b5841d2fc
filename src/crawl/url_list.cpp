#include "crawl/url_list.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "crawl/block_pool.h"

namespace wg {

UrlList::Text UrlList::MakeText(std::string_view url) {
    auto chars = std::allocate_shared<char[]>(PoolAllocator<char>{}, url.size());
    std::memcpy(chars.get(), url.data(), url.size());
    return Text{std::move(chars), url.size()};
}

void UrlList::PushBack(std::string_view url) {
    entries_.push_back(MakeText(url));
    const Text& text = entries_.back();
    index_.Add(text.View(), text.chars);
}

std::optional<std::string> UrlList::PopFront() {
    if (entries_.empty()) {
        return std::nullopt;
    }
    Text text = std::move(entries_.front());
    entries_.pop_front();
    index_.Remove(text.View());
    return std::string(text.View());
}

bool UrlList::Contains(std::string_view url) const {
    return index_.Contains(url);
}

bool UrlList::RemoveFirst(std::string_view url) {
    if (!Contains(url)) {
        return false;
    }
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [url](const Text& e) { return e.View() == url; });
    Text text = std::move(*it);
    entries_.erase(it);
    index_.Remove(text.View());
    return true;
}

std::size_t UrlList::RemoveIf(const std::function<bool(const std::string&)>& remove) {
    std::deque<Text> kept;
    std::size_t removed = 0;
    std::string url;  // one buffer for every entry shown to `remove`
    for (auto& e : entries_) {
        url.assign(e.View());
        if (remove(url)) {
            index_.Remove(e.View());
            ++removed;
        } else {
            kept.push_back(std::move(e));
        }
    }
    entries_.swap(kept);
    return removed;
}

void UrlList::MoveToBack(std::string_view url) {
    auto it = std::find_if(entries_.rbegin(), entries_.rend(),
                           [url](const Text& e) { return e.View() == url; });
    if (it == entries_.rend()) {
        return;
    }
    Text text = std::move(*it);
    entries_.erase(std::next(it).base());
    entries_.push_back(std::move(text));
}

std::optional<std::size_t> UrlList::NewestIndexOf(std::string_view url) const {
    if (!Contains(url)) {
        return std::nullopt;
    }
    for (std::size_t i = entries_.size(); i-- > 0;) {
        if (entries_[i].View() == url) {
            return i;
        }
    }
    return std::nullopt;
}

void UrlList::Clear() {
    index_.Clear();
    while (!entries_.empty()) {
        entries_.pop_back();
    }
}

void UrlList::ForEach(const std::function<void(const std::string&)>& visit) const {
    std::string url;  // one buffer for every entry
    for (const auto& e : entries_) {
        url.assign(e.View());
        visit(url);
    }
}

void UrlList::ForEachFrom(std::size_t first,
                          const std::function<bool(std::string_view)>& visit) const {
    for (std::size_t i = first; i < entries_.size(); ++i) {
        if (!visit(entries_[i].View())) {
            return;
        }
    }
}

bool UrlList::IndexMatches() const {
    std::unordered_map<std::string_view, std::size_t> counted;
    for (const auto& e : entries_) {
        ++counted[e.View()];
    }
    if (counted.size() != index_.Distinct()) {
        return false;
    }
    bool equal = true;
    index_.ForEach([&](std::string_view text, std::size_t count) {
        auto it = counted.find(text);
        equal = equal && it != counted.end() && it->second == count;
    });
    return equal;
}

}  // namespace wg
