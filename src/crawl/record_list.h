// An ordered list of page records with a hash index beside it, so that the
// duplicate tests cost the same at a hundred entries or a million. Used for
// "Links To Grubble" and the visited list. Not synchronised: the owner's
// mutex guards it.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <string_view>

#include "crawl/text_index.h"
#include "crawl/url_record.h"

namespace wg {

// The single-parameter duplicate key of a URL: the text up to (not including)
// the first '&' after its first '?'; empty when there is no such '&'.
std::string_view SingleParamKey(std::string_view url);

class RecordList {
public:
    RecordList() = default;
    RecordList(const RecordList&) = delete;
    RecordList& operator=(const RecordList&) = delete;

    std::size_t Size() const { return entries_.size(); }
    bool Empty() const { return entries_.empty(); }

    // Appends a record. Its url must not change while it is in the list.
    void PushBack(UrlRecordPtr record);
    // Takes the oldest record; null when empty.
    UrlRecordPtr PopFront();
    UrlRecordPtr Front() const { return entries_.empty() ? nullptr : entries_.front(); }

    // An entry whose URL equals `url`.
    bool ContainsUrl(std::string_view url) const;
    // An entry whose URL equals `key`, or whose own single-parameter key equals it.
    bool ContainsKey(std::string_view key) const;
    // Starts loading the index lines that the duplicate tests of `url` (and,
    // with `forInsert`, appending a record for it) will read, so that they
    // arrive while the caller does other work. Only a hint: unlike everything
    // else here it needs no lock and may run while the list changes.
    void Prefetch(std::string_view url, bool forInsert) const;

    // This very record (searched newest first).
    bool ContainsRecord(const UrlRecord* record) const;

    // Removes this very record (first to last); false when it is not there.
    bool RemoveRecord(const UrlRecord* record);
    // Removes every entry for which `remove` holds, keeping the order of the rest;
    // returns how many went.
    std::size_t RemoveIf(const std::function<bool(const UrlRecord&)>& remove);

    // Drops every entry, last to first; `every4096` is called after each 4096th.
    void Clear(const std::function<void()>& every4096 = {});

    // The entries, oldest first, for readers that hold the owner's mutex.
    const std::deque<UrlRecordPtr>& Entries() const { return entries_; }

    // The indexes describe exactly the entries (for tests).
    bool IndexMatches() const;

private:
    void AddToIndexes(const UrlRecordPtr& record);
    void RemoveFromIndexes(const UrlRecord& record);

    std::deque<UrlRecordPtr> entries_;
    // Every URL, and every single-parameter key, with how many entries have it.
    // An index entry keeps the record it views alive, so that it never dangles
    // when the entry indexed first leaves while an equal one stays.
    TextIndex urls_;
    TextIndex keys_;
};

}  // namespace wg
