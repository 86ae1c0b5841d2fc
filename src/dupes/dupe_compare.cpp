#include "dupes/dupe_compare.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/files.h"

namespace wg {

namespace {

constexpr std::size_t kBufferBytes = std::size_t{4} << 20;  // per comparer
constexpr std::size_t kMinBlock = std::size_t{64} << 10;
constexpr std::size_t kMaxBlock = std::size_t{1} << 20;

using Digest = std::array<unsigned char, 32>;

platform::FilePtr OpenUnbuffered(const std::string& path, int* error) {
    platform::FilePtr file = platform::OpenFile(path, "rb", error);
    if (file) {
        // Reads go straight into our own buffers.
        std::setvbuf(file.get(), nullptr, _IONBF, 0);
    }
    return file;
}

}  // namespace

struct ContentComparer::HashContext {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    ~HashContext() { EVP_MD_CTX_free(ctx); }
};

ContentComparer::ContentComparer(const std::vector<DupeCandidate>& files,
                                 std::function<bool()> cancel)
    : files_(files), cancel_(std::move(cancel)) {}

ContentComparer::~ContentComparer() = default;

unsigned char* ContentComparer::Buffer() {
    if (!buffer_) {
        buffer_ = std::make_unique<unsigned char[]>(kBufferBytes);
    }
    return buffer_.get();
}

bool ContentComparer::Split(const std::vector<std::int32_t>& members, DupeClasses* classes) {
    for (;;) {
        if (members.size() > maxOpen_) {
            return SplitByHash(members, classes);
        }
        const Outcome outcome = ReadSideBySide(members, classes);
        if (outcome != Outcome::TooManyOpen) {
            return outcome == Outcome::Done;
        }
    }
}

// All members are open at once and read block by block; after every block a
// group splits into the members whose blocks are equal. A group that is down
// to one member is closed; a group whose members all ended together is a class.
ContentComparer::Outcome ContentComparer::ReadSideBySide(const std::vector<std::int32_t>& members,
                                                         DupeClasses* classes) {
    struct Slot {
        std::int32_t member;
        platform::FilePtr file;
        std::size_t got = 0;
    };
    std::vector<Slot> slots;
    slots.reserve(members.size());
    for (const std::int32_t member : members) {
        int error = 0;
        platform::FilePtr file = OpenUnbuffered(files_[member].path, &error);
        if (!file) {
            if ((error == EMFILE || error == ENFILE) && maxOpen_ > 2) {
                maxOpen_ = std::max<std::size_t>(2, slots.size() / 2);
                return Outcome::TooManyOpen;
            }
            continue;  // unreadable: matches nothing
        }
        slots.push_back(Slot{member, std::move(file)});
    }
    if (slots.size() < 2) {
        return Outcome::Done;
    }

    const std::size_t block = std::clamp(kBufferBytes / slots.size(), kMinBlock, kMaxBlock);
    unsigned char* const base = Buffer();
    auto data = [&](std::size_t s) { return base + s * block; };

    std::vector<std::vector<std::size_t>> groups(1);
    for (std::size_t s = 0; s < slots.size(); ++s) {
        groups[0].push_back(s);
    }
    std::vector<std::vector<std::size_t>> next;
    std::vector<std::vector<std::size_t>> parts;
    while (!groups.empty()) {
        if (cancel_()) {
            return Outcome::Cancelled;
        }
        next.clear();
        for (const auto& group : groups) {
            parts.clear();
            for (const std::size_t s : group) {
                Slot& slot = slots[s];
                slot.got = std::fread(data(s), 1, block, slot.file.get());
                if (std::ferror(slot.file.get())) {
                    slot.file.reset();
                    continue;
                }
                auto same = std::find_if(parts.begin(), parts.end(), [&](const auto& part) {
                    const std::size_t r = part.front();
                    return slots[r].got == slot.got && std::memcmp(data(r), data(s), slot.got) == 0;
                });
                if (same == parts.end()) {
                    parts.push_back({s});
                } else {
                    same->push_back(s);
                }
            }
            for (auto& part : parts) {
                if (part.size() >= 2 && slots[part.front()].got == block) {
                    next.push_back(std::move(part));
                    continue;
                }
                if (part.size() >= 2) {  // a short block: all of them ended here
                    std::vector<std::int32_t> found;
                    found.reserve(part.size());
                    for (const std::size_t s : part) {
                        found.push_back(slots[s].member);
                    }
                    classes->push_back(std::move(found));
                }
                for (const std::size_t s : part) {
                    slots[s].file.reset();
                }
            }
        }
        std::swap(groups, next);
    }
    return Outcome::Done;
}

bool ContentComparer::Hash(std::int32_t member, std::string* digest) {
    platform::FilePtr file = OpenUnbuffered(files_[member].path, nullptr);
    if (!file) {
        return false;
    }
    if (!hash_) {
        hash_ = std::make_unique<HashContext>();
    }
    if (!hash_->ctx || EVP_DigestInit_ex(hash_->ctx, EVP_sha256(), nullptr) != 1) {
        return false;
    }
    unsigned char* const buffer = Buffer();
    for (;;) {
        if (cancel_()) {
            return false;
        }
        const std::size_t got = std::fread(buffer, 1, kMaxBlock, file.get());
        if (std::ferror(file.get())) {
            return false;
        }
        if (got > 0 && EVP_DigestUpdate(hash_->ctx, buffer, got) != 1) {
            return false;
        }
        if (got < kMaxBlock) {
            break;
        }
    }
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(hash_->ctx, md, &length) != 1) {
        return false;
    }
    digest->assign(reinterpret_cast<const char*>(md), length);
    return true;
}

// Too many to keep open: the digests split the group, and every class of
// equal digests is then read side by side in batches with its first member.
bool ContentComparer::SplitByHash(const std::vector<std::int32_t>& members, DupeClasses* classes) {
    std::vector<std::pair<Digest, std::int32_t>> hashed;
    hashed.reserve(members.size());
    std::string digest;
    for (const std::int32_t member : members) {
        if (Hash(member, &digest) && digest.size() == Digest().size()) {
            Digest d;
            std::memcpy(d.data(), digest.data(), d.size());
            hashed.emplace_back(d, member);
        }
        if (cancel_()) {
            return false;
        }
    }
    std::sort(hashed.begin(), hashed.end());
    std::vector<std::int32_t> run;
    for (std::size_t i = 0; i < hashed.size();) {
        std::size_t end = i + 1;
        while (end < hashed.size() && hashed[end].first == hashed[i].first) {
            ++end;
        }
        if (end - i >= 2) {
            run.clear();
            for (std::size_t k = i; k < end; ++k) {
                run.push_back(hashed[k].second);
            }
            if (!Confirm(run, classes)) {
                return false;
            }
        }
        i = end;
    }
    return true;
}

// The members of `pending` that equal its first member form one class; those
// that do not (a changed file, a digest collision) are sorted out again.
bool ContentComparer::Confirm(std::vector<std::int32_t> pending, DupeClasses* classes) {
    std::vector<std::int32_t> batch;
    std::vector<std::int32_t> leftover;
    DupeClasses parts;
    while (pending.size() >= 2) {
        const std::int32_t first = pending.front();
        std::vector<std::int32_t> same{first};
        leftover.clear();
        std::size_t at = 1;
        while (at < pending.size()) {
            const std::size_t take = std::min(maxOpen_ - 1, pending.size() - at);
            batch.assign(1, first);
            batch.insert(batch.end(), pending.begin() + static_cast<std::ptrdiff_t>(at),
                         pending.begin() + static_cast<std::ptrdiff_t>(at + take));
            parts.clear();
            const Outcome outcome = ReadSideBySide(batch, &parts);
            if (outcome == Outcome::Cancelled) {
                return false;
            }
            if (outcome == Outcome::TooManyOpen) {
                continue;  // again with a smaller batch
            }
            const auto withFirst = std::find_if(parts.begin(), parts.end(), [&](const auto& part) {
                return part.front() == first;
            });
            for (std::size_t k = 1; k < batch.size(); ++k) {
                const bool equal =
                    withFirst != parts.end() &&
                    std::binary_search(withFirst->begin(), withFirst->end(), batch[k]);
                (equal ? same : leftover).push_back(batch[k]);
            }
            at += take;
        }
        if (same.size() >= 2) {
            classes->push_back(std::move(same));
        }
        std::swap(pending, leftover);
    }
    return true;
}

}  // namespace wg
