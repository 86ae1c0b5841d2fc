#include "app/queue_view.h"
#include "app/crawl_work.h"

#include <algorithm>
#include <mutex>

#include "app/app.h"
#include "crawl/crawl_counters.h"
#include "crawl/crawl_queues.h"
#include "net/transfer_slots.h"
#include "util/text.h"

namespace wg {

namespace {

constexpr std::size_t kInProcessLineLimit = 780;

bool AlreadyIn(const std::vector<QueueEntry>& entries, std::string_view url) {
    return std::any_of(entries.begin(), entries.end(),
                       [url](const QueueEntry& e) { return e.url == url; });
}

bool Matches(std::string_view url, std::string_view lowerText) {
    return FindNoCaseLower(url, lowerText) != kNotFound;
}

}  // namespace

std::size_t QueueView::Walk(const std::function<std::size_t(std::size_t length)>& begin,
                            const Visit& visit) {
    if (queue_ == ViewedQueue::Pages) {
        const auto pages = app_.Queues().Pages();
        const auto& entries = pages->Entries();
        for (std::size_t i = begin(entries.size()); i < entries.size(); ++i) {
            if (!visit(i, entries[i]->url, entries[i])) {
                break;
            }
        }
        return entries.size();
    }
    const auto files = app_.Queues().Files();
    const std::size_t length = files->Size();
    std::size_t position = begin(length);
    const UrlRecordPtr none;
    files->ForEachFrom(position,
                       [&](std::string_view url) { return visit(position++, url, none); });
    return length;
}

std::size_t QueueView::Length() {
    return Walk([](std::size_t length) { return length; },
                [](std::size_t, std::string_view, const UrlRecordPtr&) { return false; });
}

std::uint32_t QueueView::Taken() const {
    return queue_ == ViewedQueue::Pages ? app_.Counters().pagesTaken.load()
                                        : app_.Counters().filesTaken.load();
}

QueueSnapshot QueueView::Page(std::int64_t first, std::size_t count,
                              std::optional<std::uint32_t> takenBefore) {
    QueueSnapshot shot;
    shot.length = Walk(
        [&](std::size_t) {
            shot.taken = Taken();
            std::int64_t start = first;
            if (takenBefore) {
                start -= static_cast<std::int64_t>(shot.taken - *takenBefore);
            }
            shot.first = static_cast<std::size_t>(std::max<std::int64_t>(start, 0));
            shot.end = shot.first;
            return shot.first;
        },
        [&](std::size_t position, std::string_view url, const UrlRecordPtr& record) {
            if (position >= shot.first + count) {
                return false;
            }
            shot.end = position + 1;
            if (!AlreadyIn(shot.entries, url)) {
                shot.entries.push_back({std::string(url), record});
            }
            return true;
        });
    return shot;
}

QueueSnapshot QueueView::Search(std::size_t first, std::string_view lowerText, std::size_t count) {
    QueueSnapshot shot;
    shot.first = first;
    shot.end = first;
    shot.length = Walk(
        [&](std::size_t) {
            shot.taken = Taken();
            return first;
        },
        [&](std::size_t position, std::string_view url, const UrlRecordPtr& record) {
            shot.end = position + 1;
            if (Matches(url, lowerText) && !AlreadyIn(shot.entries, url)) {
                shot.entries.push_back({std::string(url), record});
            }
            return shot.entries.size() < count;
        });
    shot.end = std::min(shot.end, shot.length);
    return shot;
}

QueuePositions QueueView::Locate(std::string_view firstUrl, std::string_view lastUrl,
                                 std::size_t firstLimit, std::size_t lastLimit) {
    QueuePositions found;
    found.length = Walk(
        [&](std::size_t) {
            found.taken = Taken();
            return std::size_t{0};
        },
        [&](std::size_t position, std::string_view url, const UrlRecordPtr&) {
            if (position >= lastLimit) {
                return false;
            }
            if (!found.first && position < firstLimit && url == firstUrl) {
                found.first = position;
            }
            if (url == lastUrl) {
                found.last = position;
                return false;
            }
            return true;
        });
    return found;
}

int QueueView::Remove(const std::vector<QueueEntry>& entries) {
    int removed = 0;
    for (const QueueEntry& entry : entries) {
        const bool gone =
            queue_ == ViewedQueue::Pages
                ? entry.record != nullptr && app_.Work().RemovePage(entry.record.get())
                : app_.Work().RemoveDownload(entry.url, true);
        removed += gone ? 1 : 0;
    }
    if (queue_ == ViewedQueue::Downloads && removed != 0) {
        app_.Work().RefreshDownloadCount();
    }
    return removed;
}

int QueueView::RemoveMatching(std::string_view lowerText) {
    if (lowerText.empty()) {
        return 0;
    }
    // Every match in one pass, then each removed by the queue's own operation
    // (which takes the mutex again).
    std::vector<QueueEntry> matches;
    (void)Walk([](std::size_t) { return std::size_t{0}; },
               [&](std::size_t, std::string_view url, const UrlRecordPtr& record) {
                   if (Matches(url, lowerText)) {
                       matches.push_back({std::string(url), record});
                   }
                   return true;
               });
    return Remove(matches);
}

void QueueView::Empty() {
    if (queue_ == ViewedQueue::Downloads) {
        app_.Work().EmptyDownloads();
    }
}

std::vector<std::string> InProcessLines(const TransferSlotTable& slots) {
    std::vector<std::string> lines;
    for (int i = 0; i < kTransferSlotCount; ++i) {
        if (!SlotBusy(slots[i])) {
            continue;
        }
        std::string text = SlotStatusText(slots[i]);
        if (!text.empty()) {
            text.resize(std::min(text.size(), kInProcessLineLimit));
            lines.push_back(std::move(text));
        }
    }
    return lines;
}

}  // namespace wg
