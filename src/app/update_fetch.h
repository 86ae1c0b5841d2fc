// The update check's transfers: one GET on the check's own connection, its
// body into memory or into a file beside its final name, each bounded in size
// and in time. The transfer runs on a thread of its own while the calling
// (window) thread goes on processing the window's messages.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "app/update_texts.h"
#include "net/fetch_environment.h"
#include "net/http_connection.h"
#include "net/transfer_slots.h"

namespace wg {

// What the update check's connections need from the program around them:
// the agent text and the limits, a stop that follows the program's exit, and
// a transfer slot of the check's own (not one of the workers').
class UpdateFetchEnvironment final : public FetchEnvironment {
public:
    UpdateFetchEnvironment(FetchOptions options, std::function<bool()> stopRequested)
        : options_(std::move(options)), stopRequested_(std::move(stopRequested)) {}

    FetchOptions Options() const override { return options_; }
    bool StopRequested() const override { return stopRequested_ && stopRequested_(); }
    TransferSlot* Slot(int index) override { return index >= 0 ? &slot_ : nullptr; }

    TransferSlot& OwnSlot() { return slot_; }

private:
    FetchOptions options_;
    std::function<bool()> stopRequested_;
    TransferSlot slot_;
};

// How a transfer ended.
enum class UpdateFetchEnd : std::uint8_t {
    Unusable,     // no connection, or the request could not be sent
    Refused,      // no usable answer: an error status, a redirect, not HTTP, too slow
    Complete,     // the whole body arrived (as far as its length was announced)
    Mismatch,     // the whole body arrived, but its digest is not the published one
    Cut,          // the body ended before its announced length, or was stopped
    TooLarge,     // the body passed its limit
    WriteFailed,  // the file could not be written
};

struct UpdateFetchResult {
    UpdateFetchEnd end = UpdateFetchEnd::Unusable;
    std::string body;         // a memory transfer's body
    Sha256Digest sha256{};    // a file transfer's digest of what arrived
    std::uint64_t bytes = 0;  // the body bytes that arrived
    int error = 0;            // the system error of a failed write
};

// GET `name` (below the connection's path) into memory, at most `limit` bytes.
UpdateFetchResult FetchUpdateText(HttpConnection& connection, UpdateFetchEnvironment& env,
                                  const std::string& name, std::size_t limit);

// GET `name` into "<target>.part", hashing it as it arrives. Only a complete
// body whose digest equals `expected` (when given) takes the name `target`;
// otherwise the partial file is removed and `target` is left as it was.
UpdateFetchResult FetchUpdateFile(HttpConnection& connection, UpdateFetchEnvironment& env,
                                  const std::string& name, const std::filesystem::path& target,
                                  std::uint64_t limit,
                                  const std::optional<Sha256Digest>& expected = std::nullopt);

// Runs `work` on a thread of its own; meanwhile `pump` runs on this thread
// every few milliseconds, so that the window keeps repainting.
void RunWhilePumping(const std::function<void()>& work, const std::function<void()>& pump);

}  // namespace wg
