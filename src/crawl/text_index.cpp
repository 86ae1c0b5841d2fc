#include "crawl/text_index.h"

#include <cstring>

namespace wg {

std::uint64_t TextIndex::Hash(std::string_view text) {
    // Spread the bits so that the low bits, which pick the slot, and the high
    // bits, which make the tag, depend on all of them.
    std::uint64_t h = std::hash<std::string_view>{}(text);
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    return h;
}

std::size_t TextIndex::Find(std::string_view text, std::uint64_t hash) const {
    if (slots_.empty()) {
        return kNone;
    }
    const std::size_t mask = slots_.size() - 1;
    const std::uint8_t tag = TagOf(hash);
    const auto low = static_cast<std::uint32_t>(hash);
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const std::uint8_t t = tags_[i];
        if (t == 0) {
            return kNone;
        }
        if (t == tag) {
            const Slot& s = slots_[i];
            if (s.hash == low && s.size == text.size() &&
                std::memcmp(s.text.get(), text.data(), text.size()) == 0) {
                return i;
            }
        }
    }
}

std::size_t TextIndex::Count(std::string_view text) const {
    const std::size_t i = Find(text, Hash(text));
    return i == kNone ? 0 : slots_[i].count;
}

void TextIndex::Prefetch(std::uint64_t hash, bool forInsert) const {
    const std::size_t mask = hintMask_.load(std::memory_order_relaxed);
    const std::uint8_t* tags = hintTags_.load(std::memory_order_relaxed);
    if (tags == nullptr) {
        return;
    }
    const std::size_t i = hash & mask;
    __builtin_prefetch(tags + i);
    if (forInsert) {
        // An insert writes the first free slot from home on, most often in
        // the home slot's line or the next one.
        const Slot* slots = hintSlots_.load(std::memory_order_relaxed);
        __builtin_prefetch(slots + i, 1);
        __builtin_prefetch(slots + ((i + 2) & mask), 1);
    }
}

void TextIndex::PublishTable() {
    hintTags_.store(tags_.empty() ? nullptr : tags_.data(), std::memory_order_relaxed);
    hintSlots_.store(slots_.empty() ? nullptr : slots_.data(), std::memory_order_relaxed);
    hintMask_.store(slots_.empty() ? 0 : slots_.size() - 1, std::memory_order_relaxed);
}

void TextIndex::Grow() {
    std::vector<Slot> old;
    old.swap(slots_);
    std::vector<std::uint8_t> oldTags;
    oldTags.swap(tags_);
    const std::size_t size = old.empty() ? 16 : old.size() * 2;
    slots_.resize(size);
    tags_.assign(size, 0);
    const std::size_t mask = size - 1;
    for (std::size_t k = 0; k < old.size(); ++k) {
        if (oldTags[k] == 0) {
            continue;
        }
        std::size_t i = old[k].hash & mask;
        while (tags_[i] != 0) {
            i = (i + 1) & mask;
        }
        tags_[i] = oldTags[k];
        slots_[i] = std::move(old[k]);
    }
    PublishTable();
}

void TextIndex::Add(std::string_view text, std::uint64_t hash, std::shared_ptr<const void> owner) {
    const std::size_t found = Find(text, hash);
    if (found != kNone) {
        ++slots_[found].count;
        return;
    }
    if ((used_ + 1) * 2 > slots_.size()) {
        Grow();
    }
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash & mask;
    while (tags_[i] != 0) {
        i = (i + 1) & mask;
    }
    tags_[i] = TagOf(hash);
    Slot& slot = slots_[i];
    slot.text = std::shared_ptr<const char>(std::move(owner), text.data());
    slot.size = static_cast<std::uint32_t>(text.size());
    slot.hash = static_cast<std::uint32_t>(hash);
    slot.count = 1;
    ++used_;
}

void TextIndex::EraseAt(std::size_t index) {
    // Backward-shift deletion keeps every remaining text reachable from its
    // home slot without leaving markers behind.
    const std::size_t mask = slots_.size() - 1;
    std::size_t hole = index;
    for (std::size_t j = (hole + 1) & mask; tags_[j] != 0; j = (j + 1) & mask) {
        const std::size_t home = slots_[j].hash & mask;
        const bool staysPut = hole <= j ? (hole < home && home <= j) : (hole < home || home <= j);
        if (staysPut) {
            continue;
        }
        tags_[hole] = tags_[j];
        slots_[hole] = std::move(slots_[j]);
        hole = j;
    }
    tags_[hole] = 0;
    slots_[hole] = Slot{};
    --used_;
}

bool TextIndex::Remove(std::string_view text, std::uint64_t hash) {
    const std::size_t i = Find(text, hash);
    if (i == kNone) {
        return false;
    }
    if (--slots_[i].count == 0) {
        EraseAt(i);
    }
    return true;
}

void TextIndex::Clear() {
    slots_.clear();
    slots_.shrink_to_fit();
    tags_.clear();
    tags_.shrink_to_fit();
    used_ = 0;
    PublishTable();
}

void TextIndex::ForEach(const std::function<void(std::string_view, std::size_t)>& visit) const {
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        if (tags_[i] != 0) {
            visit(slots_[i].View(), slots_[i].count);
        }
    }
}

}  // namespace wg
