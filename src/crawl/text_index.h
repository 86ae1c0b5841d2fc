// A hash index of texts with a count for each: an open-addressing table with
// linear probing. Beside the slots it keeps one tag byte per slot (empty, or
// seven bits of the text's hash), so that looking up a text that is not there
// reads only the small tag array, which stays in the cache even when the
// table holds a million texts. Each entry views its text inside an owner
// object that it keeps alive.
#pragma once

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

    // Adds one occurrence of `text`; its characters must live inside `owner`
    // and stay unchanged while the index holds it.
    void Add(std::string_view text, std::shared_ptr<const void> owner);
    // Removes one occurrence; false when the text is not indexed.
    bool Remove(std::string_view text);

    bool Contains(std::string_view text) const { return Find(text, Hash(text)) != kNone; }
    std::size_t Count(std::string_view text) const;
    std::size_t Distinct() const { return used_; }
    void Clear();

    // Calls `visit` for every distinct text with its count.
    void ForEach(const std::function<void(std::string_view, std::size_t)>& visit) const;

private:
    struct Slot {
        std::uint64_t hash = 0;
        std::string_view text;
        std::size_t count = 0;
        std::shared_ptr<const void> owner;
    };
    static std::uint8_t TagOf(std::uint64_t hash) {
        return static_cast<std::uint8_t>(0x80U | (hash >> 57));
    }
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    static std::uint64_t Hash(std::string_view text);
    std::size_t Find(std::string_view text, std::uint64_t hash) const;
    void Grow();
    void EraseAt(std::size_t index);

    std::vector<std::uint8_t> tags_;  // 0: the slot is empty
    std::vector<Slot> slots_;         // size is 0 or a power of two
    std::size_t used_ = 0;
};

}  // namespace wg
