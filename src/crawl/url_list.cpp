#include "crawl/url_list.h"

#include <algorithm>
#include <unordered_map>

namespace wg {

void UrlList::PushBack(std::string url) {
    entries_.push_back(std::make_shared<const std::string>(std::move(url)));
    index_.Add(*entries_.back(), entries_.back());
}

std::optional<std::string> UrlList::PopFront() {
    if (entries_.empty()) {
        return std::nullopt;
    }
    Text text = std::move(entries_.front());
    entries_.pop_front();
    index_.Remove(*text);
    return *text;
}

bool UrlList::Contains(std::string_view url) const {
    return index_.Contains(url);
}

bool UrlList::RemoveFirst(std::string_view url) {
    if (!Contains(url)) {
        return false;
    }
    auto it =
        std::find_if(entries_.begin(), entries_.end(), [url](const Text& e) { return *e == url; });
    Text text = std::move(*it);
    entries_.erase(it);
    index_.Remove(*text);
    return true;
}

std::size_t UrlList::RemoveIf(const std::function<bool(const std::string&)>& remove) {
    std::deque<Text> kept;
    std::size_t removed = 0;
    for (auto& e : entries_) {
        if (remove(*e)) {
            index_.Remove(*e);
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
                           [url](const Text& e) { return *e == url; });
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
        if (*entries_[i] == url) {
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
    for (const auto& e : entries_) {
        visit(*e);
    }
}

bool UrlList::IndexMatches() const {
    std::unordered_map<std::string_view, std::size_t> counted;
    for (const auto& e : entries_) {
        ++counted[*e];
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
