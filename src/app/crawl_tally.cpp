#include "app/crawl_tally.h"

#include <cstdio>

namespace wg {

std::uint64_t CrawlCounts::FailedTotal() const {
    std::uint64_t total = 0;
    for (const std::uint64_t n : failed) {
        total += n;
    }
    return total;
}

std::uint64_t CrawlCounts::FailedAgainstTheUser() const {
    return FailedTotal() - failed[static_cast<std::size_t>(FailureKind::Refused)];
}

void CrawlTally::Reset(std::uint64_t nowMs) {
    startMs_.store(nowMs);
    pagesScanned_.store(0);
    filesSaved_.store(0);
    bytesSaved_.store(0);
    for (std::atomic<std::uint64_t>& n : failed_) {
        n.store(0);
    }
}

void CrawlTally::FileSaved(std::uint64_t bytes) {
    filesSaved_.fetch_add(1, std::memory_order_relaxed);
    bytesSaved_.fetch_add(bytes, std::memory_order_relaxed);
}

void CrawlTally::Failed(FailureKind kind) {
    if (kind != FailureKind::None) {
        failed_[static_cast<std::size_t>(kind)].fetch_add(1, std::memory_order_relaxed);
    }
}

CrawlCounts CrawlTally::Read(std::uint64_t nowMs) const {
    CrawlCounts counts;
    counts.pagesScanned = pagesScanned_.load();
    counts.filesSaved = filesSaved_.load();
    counts.bytesSaved = bytesSaved_.load();
    for (std::size_t i = 0; i < failed_.size(); ++i) {
        counts.failed[i] = failed_[i].load();
    }
    const std::uint64_t start = startMs_.load();
    counts.elapsedMs = nowMs > start ? nowMs - start : 0;
    return counts;
}

const char* FailureKindName(FailureKind kind) {
    switch (kind) {
        case FailureKind::None:
            return "none";
        case FailureKind::HttpStatus:
            return "HTTP status";
        case FailureKind::Refused:
            return "refused by size or type";
        case FailureKind::Tls:
            return "TLS";
        case FailureKind::Disk:
            return "disk";
        case FailureKind::Cut:
            return "cut";
        case FailureKind::Connect:
            return "connection";
        case FailureKind::Protocol:
            return "not HTTP";
        case FailureKind::Timeout:
            return "timeout";
    }
    return "other";
}

std::string FormatByteCount(std::uint64_t bytes) {
    static constexpr const char* kUnits[] = {"KB", "MB", "GB", "TB"};
    if (bytes < 1024) {
        return std::to_string(bytes) + " B";
    }
    double value = static_cast<double>(bytes) / 1024.0;
    std::size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < std::size(kUnits)) {
        value /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
    return text;
}

std::string FormatCrawlSummary(const CrawlCounts& counts) {
    auto plural = [](std::uint64_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    std::string text = "Summary: " + plural(counts.pagesScanned, "page", "pages") + " scanned, " +
                       plural(counts.filesSaved, "file", "files") + " saved (" +
                       FormatByteCount(counts.bytesSaved) + "), ";
    const std::uint64_t failed = counts.FailedTotal();
    if (failed == 0) {
        text += "none failed";
    } else {
        text += std::to_string(failed) + " failed (";
        bool first = true;
        for (std::size_t i = 0; i < counts.failed.size(); ++i) {
            if (counts.failed[i] == 0) {
                continue;
            }
            if (!first) {
                text += ", ";
            }
            first = false;
            text += FailureKindName(static_cast<FailureKind>(i));
            text += ' ';
            text += std::to_string(counts.failed[i]);
        }
        text += ')';
    }
    char tail[64];
    const double seconds = static_cast<double>(counts.elapsedMs) / 1000.0;
    std::snprintf(tail, sizeof tail, ", %.1f s, ", seconds);
    text += tail;
    const std::uint64_t rate =
        counts.elapsedMs == 0 ? 0 : counts.bytesSaved * 1000 / counts.elapsedMs;
    text += FormatByteCount(rate) + "/s";
    return text;
}

}  // namespace wg
