#include "net/transfer_slots.h"

#include <algorithm>
#include <cstdio>

namespace wg {

void TransferSlot::SetUrl(std::string_view url) {
    url_.Set(url.substr(0, std::min(url.size(), kSlotUrlCapacity - 1)));
}

void TransferSlot::ResetForItem() {
    cancel.store(false);
    connected.store(false);
    status.store(0);
    connection.store(nullptr);
    total.store(0);
    done.store(0);
    failure.store(FailureKind::None);
    failureError.store(0);
    saved.store(false);
}

void NoteFailure(TransferSlot* slot, FailureKind kind, int error) {
    if (slot != nullptr) {
        slot->failureError.store(error);
        slot->failure.store(kind);
    }
}

bool SlotBusy(const TransferSlot& slot) {
    return !slot.cancel.load(std::memory_order_relaxed) && !slot.UrlEmpty();
}

std::string SlotStatusText(const TransferSlot& slot) {
    const std::string url = slot.Url();
    if (url.empty()) {
        return {};
    }
    const unsigned long total = slot.total.load(std::memory_order_relaxed);
    const unsigned long done = slot.done.load(std::memory_order_relaxed);
    const int status = slot.status.load(std::memory_order_relaxed);
    const bool connected = slot.connected.load(std::memory_order_relaxed);
    char tail[96];
    if (total != 0) {
        std::snprintf(tail, sizeof tail, " (%lu of %lu)", done, total);
    } else if (!connected) {
        return url + " (connecting...)";
    } else if (done != 0) {
        std::snprintf(tail, sizeof tail, " (%lu)", done);
    } else {
        std::snprintf(tail, sizeof tail, " (downloading...)");
    }
    std::string text = url + tail;
    if (status != 0 && status != 200) {
        char code[24];
        std::snprintf(code, sizeof code, " - %d", status);
        text += code;
    }
    return text;
}

int TransferSlotTable::Acquire() {
    std::lock_guard<std::mutex> lock(acquireMutex_);
    const int handed = handedOut_.load();
    const int known = std::min(handed, kTransferSlotCount);
    for (int i = 0; i < known; ++i) {
        if (slots_[static_cast<std::size_t>(i)].free.load()) {
            slots_[static_cast<std::size_t>(i)].free.store(false);
            handedOut_.store(handed + 1);
            return i;
        }
    }
    if (handed >= kTransferSlotCount) {
        return -1;
    }
    slots_[static_cast<std::size_t>(handed)].free.store(false);
    handedOut_.store(handed + 1);
    return handed;
}

void TransferSlotTable::Release(int index) {
    if (index >= 0 && index < kTransferSlotCount) {
        slots_[static_cast<std::size_t>(index)].free.store(true);
    }
}

int TransferSlotTable::CountBusy() const {
    int busy = 0;
    for (const auto& slot : slots_) {
        if (SlotBusy(slot)) {
            ++busy;
        }
    }
    return busy;
}

int TransferSlotTable::CountHolding() const {
    int holding = 0;
    for (const auto& slot : slots_) {
        if (!slot.UrlEmpty()) {
            ++holding;
        }
    }
    return holding;
}

void TransferSlotTable::SetAllCancel(bool cancel) {
    for (auto& slot : slots_) {
        slot.cancel.store(cancel);
    }
}

void TransferSlotTable::Reset() {
    std::lock_guard<std::mutex> lock(acquireMutex_);
    for (auto& slot : slots_) {
        slot.ResetForItem();
        slot.SetUrl({});
        slot.free.store(true);
    }
    handedOut_.store(0);
}

}  // namespace wg
