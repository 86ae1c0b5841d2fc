// A cache of freed small blocks for the records and URL texts of the queues.
// A crawl frees the oldest entries of its lists while it adds new ones at the
// same rate; handing the blocks just freed straight back (newest first) keeps
// the new entries on memory the cache still holds, where the general heap
// would often give out colder memory. Thread-safe: a block may be freed on
// another thread than the one that took it. Each size class keeps at most
// about 1 MiB; blocks beyond that go back to the heap.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "crawl/url_record.h"

namespace wg {

namespace block_pool {
void* Take(std::size_t bytes);
void Give(void* block, std::size_t bytes) noexcept;
}  // namespace block_pool

template <typename T>
struct PoolAllocator {
    using value_type = T;

    PoolAllocator() = default;
    template <typename U>
    PoolAllocator(const PoolAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) { return static_cast<T*>(block_pool::Take(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { block_pool::Give(p, n * sizeof(T)); }

    template <typename U>
    bool operator==(const PoolAllocator<U>&) const noexcept {
        return true;
    }
};

// A new empty record, its shared count and the record in one pooled block.
inline UrlRecordPtr NewUrlRecord() {
    return std::allocate_shared<UrlRecord>(PoolAllocator<UrlRecord>{});
}

}  // namespace wg
