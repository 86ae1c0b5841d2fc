// A worker's surroundings for transactions run by a test, and one
// transaction run as a worker runs it.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "download/download_transaction.h"
#include "net/transfer_slots.h"

namespace wg::test {

// Records what a transaction tells the program around it (on the test's thread).
class RecordingEnvironment : public DownloadEnvironment {
public:
    bool HasApp() const override { return app; }
    FetchOptions Options() const override { return options; }
    TransferSlot* Slot(int index) override { return index == 0 ? &slot : nullptr; }
    void RecordUrlError(int status, std::string_view url) override {
        Note("error " + std::to_string(status) + " " + std::string(url));
    }
    void SetLastFailure(std::string_view text) override { Note("fail " + std::string(text)); }
    void QueuePage(std::string_view url, std::string_view domain) override {
        Note("page " + std::string(url) + " " + std::string(domain));
    }
    void OfferDownload(std::string_view url, std::string_view) override {
        Note("offer " + std::string(url));
    }
    std::string CookiesFor(std::string_view) override { return cookie; }
    void StoreCookie(std::string_view host, std::string_view text) override {
        Note("cookie " + std::string(host) + " " + std::string(text));
    }
    std::optional<std::uint64_t> SizeOnDisk(std::string_view) override { return onDisk; }
    void CountDownload(std::uint64_t) override { Note("counted"); }
    void NoteLastDownload(std::string_view name) override { Note("last " + std::string(name)); }

    void Note(const std::string& line) { notes.push_back(line); }
    bool Noted(const std::string& line) const {
        return std::find(notes.begin(), notes.end(), line) != notes.end();
    }
    long Counted() const { return std::count(notes.begin(), notes.end(), "counted"); }

    FetchOptions options;
    bool app = true;
    TransferSlot slot;
    std::string cookie;
    std::optional<std::uint64_t> onDisk;
    std::vector<std::string> notes;
};

// One transaction in slot 0: -1 for an unusable connection, else the body
// size (0: nothing usable).
inline long Transact(HttpConnection& c, FetchState& state, DownloadEnvironment& env,
                     const std::string& name, std::optional<std::string> saveDir,
                     std::optional<std::string> saveName = std::nullopt, std::uint32_t resume = 0,
                     std::uint32_t expected = 0) {
    FetchRequest r;
    r.slot = 0;
    r.name = name;
    r.saveDir = std::move(saveDir);
    r.saveName = std::move(saveName);
    r.resumeFrom = resume;
    r.expectedTotal = expected;
    const FetchResult result = RunTransaction(c, state, r, env);
    return result.Usable() ? static_cast<long>(result.bytes) : -1;
}

}  // namespace wg::test
