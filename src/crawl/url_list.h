// An ordered list of URL texts with a hash index beside it: "To Download",
// the download history and this run's downloads. Not synchronised: the
// owner's mutex guards it.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "crawl/text_index.h"

namespace wg {

class UrlList {
public:
    UrlList() = default;
    UrlList(const UrlList&) = delete;
    UrlList& operator=(const UrlList&) = delete;

    std::size_t Size() const { return entries_.size(); }
    bool Empty() const { return entries_.empty(); }

    void PushBack(std::string_view url);
    std::optional<std::string> PopFront();
    bool Contains(std::string_view url) const;
    // Starts loading the index lines that Contains(url) (and, with
    // `forInsert`, PushBack(url)) will read. Only a hint: unlike everything
    // else here it needs no lock and may run while the list changes.
    void Prefetch(std::string_view url, bool forInsert) const {
        index_.Prefetch(TextIndex::Hash(url), forInsert);
    }

    // Removes the first entry equal to `url` (oldest first).
    bool RemoveFirst(std::string_view url);
    // Removes every entry for which `remove` holds, keeping the order of the rest.
    std::size_t RemoveIf(const std::function<bool(const std::string&)>& remove);
    // Moves the newest entry equal to `url` to the end.
    void MoveToBack(std::string_view url);
    // Position of the newest entry equal to `url`, counted from the oldest.
    std::optional<std::size_t> NewestIndexOf(std::string_view url) const;

    void Clear();

    // Calls `visit` for every entry, oldest first.
    void ForEach(const std::function<void(const std::string&)>& visit) const;
    // Calls `visit` for the entries from position `first` on, oldest first,
    // until it answers false.
    void ForEachFrom(std::size_t first, const std::function<bool(std::string_view)>& visit) const;

    bool IndexMatches() const;

private:
    // A URL's characters and their shared count in one pooled block, so that
    // an entry owns no heap memory of its own.
    struct Text {
        std::shared_ptr<const char[]> chars;
        std::size_t size = 0;

        std::string_view View() const { return {chars.get(), size}; }
    };
    static Text MakeText(std::string_view url);

    std::deque<Text> entries_;
    // Every URL with how many entries have it; an index entry keeps the text it
    // views alive while an equal entry remains.
    TextIndex index_;
};

}  // namespace wg
