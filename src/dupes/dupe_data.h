// The duplication data: fingerprints of files already in the download
// directories and of files downloaded since, oldest first. Beside the
// ordered records an index by fingerprint lets the runtime check find the
// records of one content without walking the whole list. The list does not
// lock itself: its owner guards it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "dupes/dupe_file.h"

namespace wg {

// The most records runtime detection lets the list hold; older ones go.
inline constexpr std::size_t kDupeDataLimit = 0x100000;

class DupeData {
public:
    std::size_t Size() const { return records_.size(); }
    bool Empty() const { return records_.empty(); }

    // Appends a record. With a limit, the oldest records are dropped until
    // no more than `limit` remain.
    void Append(DupeRecord record, std::size_t limit = 0);

    // Record `i`, 0 being the oldest.
    const DupeRecord& At(std::size_t i) const { return records_[i]; }
    DupeRecord& At(std::size_t i) { return records_[i]; }

    // The positions of the records with this fingerprint, newest first.
    std::vector<std::size_t> WithPrint(const Fingerprint& print) const;

    // Frees every record, newest first; `tick` runs after every 4096th.
    void Clear(const std::function<void()>& tick = {});

    // "Dupe.bin" for the whole list.
    std::string Encode() const;

private:
    static std::uint64_t Key(const Fingerprint& print);

    std::deque<DupeRecord> records_;
    std::uint64_t firstId_ = 0;  // the id of records_.front(); ids never repeat
    std::unordered_multimap<std::uint64_t, std::uint64_t> byPrint_;  // key → record id
};

// Fingerprints the files of one directory (not its sub-directories) in the
// order the system lists them, skipping directories and the names that
// begin with ".." or are "." or two characters beginning with '.'.
// `visit(name, fullPath)` runs per file and returns false to stop the walk.
// Returns the number of files visited, or -1 when the directory could not be
// listed or its listing failed part way.
long ForEachFileToRecord(
    const std::string& dir,
    const std::function<bool(const std::string& name, const std::string& fullPath)>& visit);

// Directory + name with one '/' between them unless the directory ends in a
// separator; an empty directory gives the name alone.
std::string JoinDupePath(std::string_view dir, std::string_view name);

// Whether two directory texts name the same place once trailing separators,
// "." steps and doubled separators are set aside. Empty names no place.
bool SameDupeDirectory(std::string_view a, std::string_view b);

// Whether two files hold the same bytes (both readable, same length).
bool SameFileBytes(const std::string& a, const std::string& b);

}  // namespace wg
