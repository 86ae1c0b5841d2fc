// The 64 worker slots of an App through which workers publish what they
// are transferring; the "In Process" view and count read them.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "util/shared_text.h"

namespace wg {

class HttpConnection;

inline constexpr int kTransferSlotCount = 64;

// Why the current item failed, as the end-of-crawl summary counts it.
enum class FailureKind : std::uint8_t {
    None,
    HttpStatus,  // the server answered with a refused status
    Refused,     // refused by the size limits or the file-type rules
    Tls,         // the secure connection could not be made
    Disk,        // the file could not be created or written
    Cut,         // the transfer ended before the announced size
    Connect,     // the host did not resolve or could not be reached
    Protocol,    // the answer was not HTTP
    Timeout,     // the server kept the worker waiting too long
};
inline constexpr int kFailureKindCount = 9;
inline constexpr std::size_t kSlotUrlCapacity = 261;  // the URL text is cut to 260 characters

struct TransferSlot {
    std::atomic<bool> free{true};         // available to a new worker
    std::atomic<bool> connected{false};   // a connected socket serves the current URL
    std::atomic<bool> cancel{false};      // finished, or to be abandoned
    std::atomic<std::uint32_t> total{0};  // expected size, 0 = unknown
    std::atomic<std::uint32_t> done{0};   // bytes received so far
    std::atomic<int> status{0};           // last HTTP status, 0 = none yet
    std::atomic<HttpConnection*> connection{nullptr};
    // The last failure of the current item, and the system error of a disk one.
    std::atomic<FailureKind> failure{FailureKind::None};
    std::atomic<int> failureError{0};
    std::atomic<bool> saved{false};  // the current item left a whole file

    std::string Url() const { return url_.Get(); }
    void SetUrl(std::string_view url);  // cut to fit the slot
    bool UrlEmpty() const { return url_.Empty(); }

    // Clears everything a new item starts without: cancel, connected, status,
    // connection, progress and failure.
    void ResetForItem();

private:
    SharedText url_;
};

// Records why the slot's item failed (the last reason wins); no-op for null.
void NoteFailure(TransferSlot* slot, FailureKind kind, int error = 0);

// Busy: not cancelled and holding a URL.
bool SlotBusy(const TransferSlot& slot);

// The line the "In Process" view shows for a slot; empty when it holds no URL.
std::string SlotStatusText(const TransferSlot& slot);

class TransferSlotTable {
public:
    TransferSlot& operator[](int index) { return slots_[static_cast<std::size_t>(index)]; }
    const TransferSlot& operator[](int index) const {
        return slots_[static_cast<std::size_t>(index)];
    }

    // Hands out a slot: a freed one among those handed out so far, else the next
    // new one. -1 when all 64 are taken; no slot beyond the table is ever used.
    int Acquire();
    void Release(int index);

    // Number of busy slots.
    int CountBusy() const;
    // Slots whose worker still holds an item, cancelled or not: a cancel only
    // asks the transfer to end, and the worker may go on with the item.
    int CountHolding() const;

    // Marks every slot cancelled (or not).
    void SetAllCancel(bool cancel);

    int HandedOut() const { return handedOut_.load(); }

    // Returns every slot to its first state (a new App starts with a fresh table).
    void Reset();

private:
    std::array<TransferSlot, kTransferSlotCount> slots_;
    std::atomic<int> handedOut_{0};
    std::mutex acquireMutex_;
};

}  // namespace wg
