#include "crawl/block_pool.h"

#include <array>
#include <mutex>
#include <new>

namespace wg::block_pool {

namespace {

constexpr std::size_t kGrain = 16;
constexpr std::size_t kLargest = 256;  // larger blocks always use the heap
constexpr std::size_t kBytesKept = std::size_t{1} << 20;

struct FreeBlock {
    FreeBlock* next;
};

struct SizeClass {
    std::mutex mutex;
    FreeBlock* head = nullptr;
    std::size_t count = 0;
};

// Never destroyed: blocks may still be given back while static objects of
// other files are destroyed at exit.
std::array<SizeClass, kLargest / kGrain>& Classes() {
    static auto* classes = new std::array<SizeClass, kLargest / kGrain>();
    return *classes;
}

}  // namespace

void* Take(std::size_t bytes) {
    if (bytes == 0 || bytes > kLargest) {
        return ::operator new(bytes);
    }
    const std::size_t index = (bytes - 1) / kGrain;
    SizeClass& c = Classes()[index];
    {
        std::lock_guard<std::mutex> lock(c.mutex);
        if (FreeBlock* block = c.head) {
            c.head = block->next;
            --c.count;
            return block;
        }
    }
    return ::operator new((index + 1) * kGrain);
}

void Give(void* block, std::size_t bytes) noexcept {
    if (block == nullptr) {
        return;
    }
    if (bytes == 0 || bytes > kLargest) {
        ::operator delete(block);
        return;
    }
    const std::size_t index = (bytes - 1) / kGrain;
    SizeClass& c = Classes()[index];
    {
        std::lock_guard<std::mutex> lock(c.mutex);
        if (c.count < kBytesKept / ((index + 1) * kGrain)) {
            auto* free = static_cast<FreeBlock*>(block);
            free->next = c.head;
            c.head = free;
            ++c.count;
            return;
        }
    }
    ::operator delete(block);
}

}  // namespace wg::block_pool
