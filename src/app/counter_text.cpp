#include "app/counter_text.h"

#include <cinttypes>
#include <cstdio>

namespace wg {

namespace {

// Groups a value as the counters show it: up to three groups, or two for the
// "Links To Grubble" counter, which never shows millions.
std::string Grouped(const char* label, std::int64_t value, bool allowMillions) {
    char buf[96];
    if (allowMillions && value > 999999) {
        std::snprintf(buf, sizeof buf, "%s: %" PRId64 ",%03" PRId64 ",%03" PRId64, label,
                      value / 1000000, (value / 1000) % 1000, value % 1000);
    } else if (value > 999) {
        std::snprintf(buf, sizeof buf, "%s: %" PRId64 ",%03" PRId64, label, value / 1000,
                      value % 1000);
    } else {
        std::snprintf(buf, sizeof buf, "%s: %" PRId64, label, value);
    }
    return buf;
}

}  // namespace

std::string FormatCounterText(Counter counter, std::int64_t value) {
    switch (counter) {
        case Counter::LinksToGrubble:
            return Grouped("Links To Grubble", value, false);
        case Counter::ToDownload:
            return Grouped("To Download", value, true);
        case Counter::InProcess: {
            char buf[48];
            std::snprintf(buf, sizeof buf, "In Process: %" PRId64, value);
            return buf;
        }
        case Counter::UrlsScanned:
            return Grouped("URLs Scanned", value, true);
        case Counter::FilesDownloaded:
            return Grouped("Files Downloaded", value, true);
    }
    return {};
}

}  // namespace wg
