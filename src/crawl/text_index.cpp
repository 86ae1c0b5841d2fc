#include "crawl/text_index.h"

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
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const std::uint8_t t = tags_[i];
        if (t == 0) {
            return kNone;
        }
        if (t == tag && slots_[i].hash == hash && slots_[i].text == text) {
            return i;
        }
    }
}

std::size_t TextIndex::Count(std::string_view text) const {
    const std::size_t i = Find(text, Hash(text));
    return i == kNone ? 0 : slots_[i].count;
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
}

void TextIndex::Add(std::string_view text, std::shared_ptr<const void> owner) {
    const std::uint64_t hash = Hash(text);
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
    slot.hash = hash;
    slot.text = text;
    slot.count = 1;
    slot.owner = std::move(owner);
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

bool TextIndex::Remove(std::string_view text) {
    const std::size_t i = Find(text, Hash(text));
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
    tags_.clear();
    used_ = 0;
}

void TextIndex::ForEach(const std::function<void(std::string_view, std::size_t)>& visit) const {
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        if (tags_[i] != 0) {
            visit(slots_[i].text, slots_[i].count);
        }
    }
}

}  // namespace wg
