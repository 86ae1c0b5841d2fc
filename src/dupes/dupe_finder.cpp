#include "dupes/dupe_finder.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "dupes/dupe_compare.h"
#include "platform/files.h"
#include "platform/threads.h"
#include "util/text.h"

namespace wg {

namespace {

constexpr std::uint64_t kCounterIntervalMs = 200;
constexpr auto kPumpInterval = std::chrono::milliseconds(25);
constexpr std::size_t kHeadProbe = kDupeHeadBytes + 1;  // one more byte tells "the file ends here"

// ".", "..", anything beginning with "..", and two-character names beginning with '.'.
bool Skipped(const std::string& name) {
    return !name.empty() && name[0] == '.' && (name.size() <= 2 || name[1] == '.');
}

std::string Join(const std::string& dir, const std::string& name) {
    if (!dir.empty() && dir.back() == '/') {
        return dir + name;
    }
    return dir + '/' + name;
}

unsigned WorkerCount(std::size_t tasks) {
    const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, 2u);
    return static_cast<unsigned>(std::min<std::size_t>(cores, tasks));
}

// Sets a duplicate aside under a free name next to it, checks that its kept
// file is still there, and only then deletes it. Were both names the same
// file (through a symbolic link), the kept one vanishes with the rename: the
// name is given back and nothing is deleted.
bool RemoveDuplicate(const std::string& kept, const std::string& duplicate) {
    std::string parked = duplicate + ".wg-deleting";
    for (int n = 0; platform::PathExists(parked); ++n) {
        if (n == 100) {
            return false;
        }
        parked = duplicate + ".wg-deleting" + std::to_string(n);
    }
    if (platform::MoveFile(duplicate, parked) != 0) {
        return false;
    }
    if (!platform::FileExists(kept) || platform::ForceDelete(parked) != 0) {
        platform::MoveFile(parked, duplicate);
        return false;
    }
    return true;
}

}  // namespace

std::string GroupedCount(std::uint64_t n) {
    char text[64];
    const auto v = static_cast<unsigned long long>(n);
    if (v <= 999) {
        std::snprintf(text, sizeof text, "%llu", v);
    } else if (v <= 999999) {
        std::snprintf(text, sizeof text, "%llu,%03llu", v / 1000, v % 1000);
    } else {
        std::snprintf(text, sizeof text, "%llu,%03llu,%03llu", v / 1000000, (v / 1000) % 1000,
                      v % 1000);
    }
    return text;
}

DupeFinder::DupeFinder(DupeFinderEvents events) : events_(std::move(events)) {}

void DupeFinder::Status(std::string_view text) {
    if (events_.status) {
        events_.status(text);
    }
}

void DupeFinder::Pump() {
    if (events_.pump) {
        events_.pump();
    }
}

bool DupeFinder::CounterDue() {
    const std::uint64_t now = NowMilliseconds();
    if (now - lastCounterMs_ < kCounterIntervalMs) {
        return false;
    }
    lastCounterMs_ = now;
    return true;
}

void DupeFinder::ShowCounter(const std::string& text) {
    if (events_.counters) {
        events_.counters(text);
    }
}

bool DupeFinder::Find(const std::string& root) {
    candidates_.clear();
    candidates_.shrink_to_fit();
    headRead_.clear();
    headRead_.shrink_to_fit();
    duplicates_ = 0;
    scanned_ = 0;
    stop_.store(false, std::memory_order_relaxed);
    lastCounterMs_ = NowMilliseconds();
    ShowCounter(" Files Scanned: 0");

    const bool listed = ScanDirectory(root);
    lastCounterMs_ = NowMilliseconds();
    ShowCounter("Files Scanned: " + GroupedCount(scanned_));
    if (events_.scanned) {
        events_.scanned();
    }
    if (!listed) {
        return false;
    }
    if (!Cancelled()) {
        Compare();
    }
    return true;
}

bool DupeFinder::ScanDirectory(const std::string& dir) {
    const std::string searching = " Searching " + dir + "...";
    Status(searching);
    bool any = false;
    const int rc = platform::EnumerateDirectory(dir, [&](const platform::DirEntry& entry) {
        any = true;
        if (Skipped(entry.name)) {
            return !Cancelled();
        }
        if (entry.isDirectory) {
            // A linked directory is not entered: a link back up the tree
            // would make the walk endless, and its files stand elsewhere.
            if (recursive_ && !entry.isSymlink) {
                ScanDirectory(Join(dir, entry.name));
                Status(searching);
            }
        } else if (entry.isRegular) {
            ScanFile(Join(dir, entry.name), entry.size);
        }
        return !Cancelled();
    });
    return rc == 0 || any;
}

void DupeFinder::ScanFile(const std::string& path, std::uint64_t size) {
    // Only regular files come here: opening a pipe or a device could block.
    platform::FilePtr file = platform::OpenFile(path, "rb");
    if (!file) {
        return;
    }
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    ++scanned_;
    unsigned char probe[kHeadProbe] = {};
    const std::size_t got = std::fread(probe, 1, kHeadProbe, file.get());
    file.reset();
    if (got > 0) {
        DupeCandidate& candidate = candidates_.emplace_back();
        candidate.path = path;
        std::memcpy(candidate.head.data(), probe, std::min(got, kDupeHeadBytes));
        candidate.size = size;
        headRead_.push_back(static_cast<std::uint8_t>(got));
    }
    Pump();
    if (CounterDue()) {
        ShowCounter("Files Scanned: " + GroupedCount(scanned_));
    }
}

void DupeFinder::RunTasks(std::size_t count, const std::function<bool()>& cancel,
                          const std::function<void(std::size_t, ContentComparer&)>& task,
                          const std::function<void()>& tick) {
    if (count == 0) {
        return;
    }
    const unsigned workers = WorkerCount(count);
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::condition_variable finished;
    unsigned running = workers;
    auto work = [&] {
        ContentComparer comparer(candidates_, cancel);
        for (;;) {
            const std::size_t i = next.fetch_add(1, std::memory_order_relaxed);
            if (i >= count || cancel()) {
                break;
            }
            task(i, comparer);
        }
        std::lock_guard<std::mutex> lock(mutex);
        --running;
        finished.notify_all();
    };
    std::vector<std::thread> threads;
    threads.reserve(workers);
    for (unsigned t = 0; t < workers; ++t) {
        threads.push_back(platform::StartThread("wg-compare", work));
    }
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex);
            if (finished.wait_for(lock, kPumpInterval, [&] { return running == 0; })) {
                break;
            }
        }
        Pump();
        if (tick) {
            tick();
        }
    }
    for (auto& thread : threads) {
        thread.join();
    }
}

// Every class of identical files gives the lines (m0, m1), (m0, m2), ... with
// its members in scan order, and the classes come in the order of their first
// members: what comparing every file with every later one in scan order gives.
void DupeFinder::Compare() {
    const std::size_t total = candidates_.size();
    const std::string ofTotal = " of " + GroupedCount(total);
    std::atomic<std::size_t> compared{0};
    auto showCompared = [&] {
        ShowCounter("Files Compared: " + GroupedCount(compared.load(std::memory_order_relaxed)) +
                    ofTotal);
    };
    Pump();
    if (Closing()) {
        Status(" Compare Cancelled");
        return;
    }
    if (CounterDue()) {
        showCompared();
    }

    // Same size and same first bytes, then scan order.
    std::vector<std::int32_t> order(total);
    for (std::size_t i = 0; i < total; ++i) {
        order[i] = static_cast<std::int32_t>(i);
    }
    std::sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
        const DupeCandidate& x = candidates_[a];
        const DupeCandidate& y = candidates_[b];
        if (x.size != y.size) {
            return x.size < y.size;
        }
        const int head = std::memcmp(x.head.data(), y.head.data(), kDupeHeadBytes);
        return head != 0 ? head < 0 : a < b;
    });

    DupeClasses found;
    std::vector<std::vector<std::int32_t>> toRead;
    for (std::size_t i = 0; i < total;) {
        const DupeCandidate& first = candidates_[order[i]];
        std::size_t end = i + 1;
        while (end < total && candidates_[order[end]].size == first.size &&
               candidates_[order[end]].head == first.head) {
            ++end;
        }
        if (end - i == 1) {
            compared.fetch_add(1, std::memory_order_relaxed);
        } else {
            std::vector<std::int32_t> group(order.begin() + static_cast<std::ptrdiff_t>(i),
                                            order.begin() + static_cast<std::ptrdiff_t>(end));
            // Files that ended within their head were compared whole already.
            const bool whole = std::all_of(group.begin(), group.end(), [&](std::int32_t m) {
                return headRead_[m] <= kDupeHeadBytes && headRead_[m] == candidates_[m].size;
            });
            if (whole) {
                compared.fetch_add(group.size(), std::memory_order_relaxed);
                found.push_back(std::move(group));
            } else {
                toRead.push_back(std::move(group));
            }
        }
        i = end;
    }

    // Biggest work first, so that the two threads end at about the same time.
    std::sort(toRead.begin(), toRead.end(), [&](const auto& a, const auto& b) {
        const auto bytes = [&](const auto& g) { return candidates_[g.front()].size * g.size(); };
        return bytes(a) > bytes(b);
    });
    std::vector<DupeClasses> results(toRead.size());
    std::vector<char> done(toRead.size(), 0);
    RunTasks(
        toRead.size(), [this] { return Cancelled(); },
        [&](std::size_t i, ContentComparer& comparer) {
            if (comparer.Split(toRead[i], &results[i])) {
                done[i] = 1;
                compared.fetch_add(toRead[i].size(), std::memory_order_relaxed);
            }
        },
        [&] {
            if (CounterDue()) {
                showCompared();
            }
        });
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (done[i]) {
            for (auto& c : results[i]) {
                found.push_back(std::move(c));
            }
        }
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.front() < b.front(); });
    Emit(found);

    if (Closing()) {
        Status(" Compare Cancelled");
        return;
    }
    compared.store(total, std::memory_order_relaxed);
    lastCounterMs_ = NowMilliseconds();
    showCompared();
    if (duplicates_ == 0) {
        Status(" Search completed. No duplicated files found.");
    } else {
        Status(" Search completed. Double click above to open any of the " +
               std::to_string(duplicates_) + " duplicated files.");
    }
}

void DupeFinder::Emit(const DupeClasses& classes) {
    std::string line;
    for (const auto& members : classes) {
        DupeCandidate& kept = candidates_[members.front()];
        kept.state = DupeCandidate::State::Kept;
        for (std::size_t k = 1; k < members.size(); ++k) {
            DupeCandidate& duplicate = candidates_[members[k]];
            duplicate.state = DupeCandidate::State::Duplicate;
            duplicate.dupOf = members.front();
            ++duplicates_;
            line = kept.path + " & " + duplicate.path + " are identical";
            if (events_.result) {
                events_.result(line);
            }
            if (log_) {
                std::fprintf(log_, "%s\n\r", line.c_str());
            }
        }
    }
    if (log_) {
        std::fflush(log_);
    }
}

int DupeFinder::DeleteDuplicates() {
    int deleted = 0;
    Status(" Deleting Duplicate Files");
    lastCounterMs_ = NowMilliseconds();
    ShowCounter("Duplicates Deleted: 0");

    // The duplicates of each kept file, in batches that are read side by side
    // with it: a duplicate is deleted only when its kept file is still there
    // and still has the same bytes.
    const std::size_t total = candidates_.size();
    std::vector<std::vector<std::int32_t>> batches;
    std::vector<std::size_t> batchOf(total, SIZE_MAX);
    for (std::size_t k = 1; k < total; ++k) {
        const DupeCandidate& c = candidates_[k];
        if (c.state != DupeCandidate::State::Duplicate || c.dupOf < 0 ||
            static_cast<std::size_t>(c.dupOf) >= k) {
            continue;
        }
        std::size_t& b = batchOf[static_cast<std::size_t>(c.dupOf)];
        if (b == SIZE_MAX || batches[b].size() >= ContentComparer::kMaxOpen) {
            b = batches.size();
            batches.push_back({c.dupOf});
        }
        batches[b].push_back(static_cast<std::int32_t>(k));
    }
    std::vector<char> confirmed(total, 0);
    RunTasks(
        batches.size(), [this] { return Closing(); },
        [&](std::size_t i, ContentComparer& comparer) {
            DupeClasses classes;
            if (!comparer.Split(batches[i], &classes)) {
                return;
            }
            for (const auto& c : classes) {
                if (c.front() == batches[i].front()) {
                    for (std::size_t k = 1; k < c.size(); ++k) {
                        confirmed[static_cast<std::size_t>(c[k])] = 1;
                    }
                }
            }
        },
        nullptr);

    for (std::size_t k = 1; k < total && !Closing(); ++k) {
        DupeCandidate& c = candidates_[k];
        if (c.state != DupeCandidate::State::Duplicate || !confirmed[k]) {
            continue;
        }
        if (RemoveDuplicate(candidates_[static_cast<std::size_t>(c.dupOf)].path, c.path)) {
            c.state = DupeCandidate::State::Deleted;
            ++deleted;
        }
        Pump();
        if (CounterDue()) {
            ShowCounter("Duplicates Deleted: " + GroupedCount(static_cast<std::uint64_t>(deleted)));
        }
    }
    lastCounterMs_ = NowMilliseconds();
    ShowCounter("Duplicates Deleted: " + GroupedCount(static_cast<std::uint64_t>(deleted)));
    Status(" Finished Deleting Duplicates.");
    return deleted;
}

}  // namespace wg
