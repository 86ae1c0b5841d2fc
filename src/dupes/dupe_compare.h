// Splitting a group of files into classes of byte-identical files. Used by
// the duplicate finder on its worker threads: one comparer per thread, which
// owns its read buffers, so that no file costs an allocation of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dupes/dupe_finder.h"

namespace wg {

using DupeClasses = std::vector<std::vector<std::int32_t>>;

class ContentComparer {
public:
    // Groups of up to this many files are read side by side, block by block.
    static constexpr std::size_t kMaxOpen = 64;

    // `files` is the candidate list the member indices refer to; `cancel` is
    // polled between blocks.
    ContentComparer(const std::vector<DupeCandidate>& files, std::function<bool()> cancel);
    ~ContentComparer();
    ContentComparer(const ContentComparer&) = delete;
    ContentComparer& operator=(const ContentComparer&) = delete;

    // Appends to `classes` every class of two or more members whose files have
    // the same length and the same bytes, each class in the order of `members`
    // (which must be ascending). Files that cannot be opened or read belong to
    // no class. Small groups are read side by side; larger ones are split by
    // SHA-256 first and every class is then confirmed byte by byte. False when
    // cancelled (`classes` is then incomplete).
    bool Split(const std::vector<std::int32_t>& members, DupeClasses* classes);

private:
    enum class Outcome { Done, Cancelled, TooManyOpen };

    Outcome ReadSideBySide(const std::vector<std::int32_t>& members, DupeClasses* classes);
    bool SplitByHash(const std::vector<std::int32_t>& members, DupeClasses* classes);
    bool Confirm(std::vector<std::int32_t> pending, DupeClasses* classes);
    bool Hash(std::int32_t member, std::string* digest);
    unsigned char* Buffer();

    const std::vector<DupeCandidate>& files_;
    std::function<bool()> cancel_;
    std::unique_ptr<unsigned char[]> buffer_;
    std::size_t maxOpen_ = kMaxOpen;  // halved when the process runs out of descriptors
    struct HashContext;
    std::unique_ptr<HashContext> hash_;
};

}  // namespace wg
