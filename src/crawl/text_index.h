// A hash index of texts with a count for each: an open-addressing table with
// linear probing. Beside the slots it keeps one tag byte per slot (empty, or
// seven bits of the text's hash), so that looking up a text that is not there
// reads only the small tag array, which stays in the cache even when the
// table holds a million texts. A slot is 32 bytes and aligned to 32, so that
// reading or writing one touches a single cache line. Each entry views its
// text inside an owner object that it keeps alive.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace wg {

class TextIndex {
public:
    TextIndex() = default;
    TextIndex(const TextIndex&) = delete;
    TextIndex& operator=(const TextIndex&) = delete;

    static std::uint64_t Hash(std::string_view text);

    // Adds one occurrence of `text`; its characters must live inside `owner`
    // and stay unchanged while the index holds it. Texts are shorter than
    // 4 GiB.
    void Add(std::string_view text, std::shared_ptr<const void> owner) {
        Add(text, Hash(text), std::move(owner));
    }
    void Add(std::string_view text, std::uint64_t hash, std::shared_ptr<const void> owner);
    // Removes one occurrence; false when the text is not indexed.
    bool Remove(std::string_view text) { return Remove(text, Hash(text)); }
    bool Remove(std::string_view text, std::uint64_t hash);

    bool Contains(std::string_view text) const { return Contains(text, Hash(text)); }
    bool Contains(std::string_view text, std::uint64_t hash) const {
        return Find(text, hash) != kNone;
    }
    std::size_t Count(std::string_view text) const;
    std::size_t Distinct() const { return used_; }
    void Clear();

    // Starts loading the cache lines that a lookup of a text with this hash
    // reads (and, with `forInsert`, the slot an insert would write), so that
    // the caller can do other work while they arrive. Only a hint: it reads no
    // table memory and may be called without the owner's lock, from any
    // thread, while the index changes.
    void Prefetch(std::uint64_t hash, bool forInsert) const;

    // Calls `visit` for every distinct text with its count.
    void ForEach(const std::function<void(std::string_view, std::size_t)>& visit) const;

private:
    struct alignas(32) Slot {
        std::shared_ptr<const char> text;  // points at the first character; owns the owner
        std::uint32_t size = 0;
        std::uint32_t hash = 0;  // the low bits of the text's hash: its home slot
        std::uint32_t count = 0;

        std::string_view View() const { return {text.get(), size}; }
    };
    static_assert(sizeof(Slot) == 32);

    static std::uint8_t TagOf(std::uint64_t hash) {
        return static_cast<std::uint8_t>(0x80U | (hash >> 57));
    }
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    std::size_t Find(std::string_view text, std::uint64_t hash) const;
    void Grow();
    void EraseAt(std::size_t index);
    void PublishTable();

    std::vector<std::uint8_t> tags_;  // 0: the slot is empty
    std::vector<Slot> slots_;         // size is 0 or a power of two
    std::size_t used_ = 0;

    // Where the tables are, for Prefetch(), which runs without the lock.
    // A stale value only makes a useless prefetch: prefetches never fault.
    std::atomic<const std::uint8_t*> hintTags_{nullptr};
    std::atomic<const Slot*> hintSlots_{nullptr};
    std::atomic<std::size_t> hintMask_{0};
};

}  // namespace wg
