// A hash index of texts with a count for each: an open-addressing table that
// keeps each text's hash inline, so that looking up a text that is not there
// costs one cache line whether the table holds a hundred texts or a million.
// Each entry views its text inside an owner object that it keeps alive.
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
        std::size_t count = 0;  // 0: the slot is empty
        std::shared_ptr<const void> owner;
    };
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    static std::uint64_t Hash(std::string_view text);
    std::size_t Find(std::string_view text, std::uint64_t hash) const;
    void Grow();
    void EraseAt(std::size_t index);

    std::vector<Slot> slots_;  // size is 0 or a power of two
    std::size_t used_ = 0;
};

}  // namespace wg
