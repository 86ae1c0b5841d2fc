// What the queue viewers see of "To Download" and "Links To Grubble": copies
// of a page of entries, or of the entries that match a search, each taken in
// one pass under the queue's mutex; and removals through the queue's own
// operations. A window never holds a queue's mutex itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crawl/url_record.h"
#include "net/transfer_slots.h"

namespace wg {

class App;

enum class ViewedQueue { Downloads, Pages };

// One entry as a viewer shows it.
struct QueueEntry {
    std::string url;      // a copy of the entry's text
    UrlRecordPtr record;  // "Links To Grubble": the queued record itself (removed by identity)
};

struct QueueSnapshot {
    std::vector<QueueEntry> entries;  // in queue order, each text once
    std::size_t first = 0;            // position of the first entry examined
    std::size_t end = 0;              // one past the last position examined
    std::size_t length = 0;           // the queue's length at the time
    std::uint32_t taken = 0;          // the queue's count of taken entries at the time
};

// Where the entries a viewer shows stand now.
struct QueuePositions {
    std::optional<std::size_t> first;  // of the first shown entry
    std::optional<std::size_t> last;   // of the last shown entry
    std::size_t length = 0;
    std::uint32_t taken = 0;  // the queue's count of taken entries at the time
};

class QueueView {
public:
    QueueView(App& app, ViewedQueue queue) : app_(app), queue_(queue) {}

    ViewedQueue Queue() const { return queue_; }
    std::size_t Length();
    // Entries taken from the queue so far (by workers and by removals).
    std::uint32_t Taken() const;

    // The entries at positions first .. first + count - 1 that exist. With
    // `takenBefore`, `first` is first moved back by the entries taken since
    // that count was read, so that the page stays on the same entries;
    // positions are clamped at 0.
    QueueSnapshot Page(std::int64_t first, std::size_t count,
                       std::optional<std::uint32_t> takenBefore = std::nullopt);
    // From position `first` on, up to `count` entries containing `lowerText`
    // (taken to be lower-case already; case is ignored in the entries).
    QueueSnapshot Search(std::size_t first, std::string_view lowerText, std::size_t count);
    // The first shown entry searched before position `firstLimit`, the last
    // shown one before `lastLimit`.
    QueuePositions Locate(std::string_view firstUrl, std::string_view lastUrl,
                          std::size_t firstLimit, std::size_t lastLimit);

    // Removes the entries (a file is recorded as downloaded); how many went.
    int Remove(const std::vector<QueueEntry>& entries);
    // Removes every entry of the whole queue that contains `lowerText`; how
    // many went. An empty text matches nothing.
    int RemoveMatching(std::string_view lowerText);
    // Empties "To Download" (nothing for the page queue).
    void Empty();

private:
    using Visit =
        std::function<bool(std::size_t position, std::string_view url, const UrlRecordPtr& record)>;
    // Under the queue's mutex: `begin` is given the length and answers the
    // first position; `visit` sees the entries from there until it answers
    // false. Answers the length.
    std::size_t Walk(const std::function<std::size_t(std::size_t length)>& begin,
                     const Visit& visit);

    App& app_;
    ViewedQueue queue_;
};

// The lines of the "In Process" list: the status text of every busy
// transfer slot.
std::vector<std::string> InProcessLines(const TransferSlotTable& slots);

}  // namespace wg
