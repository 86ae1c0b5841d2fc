// The ten most recent texts of a field (typed addresses, the queue viewers'
// search terms) with the index of the newest, and the Up/Down steps
// through them.
#pragma once

#include <array>
#include <span>
#include <string>

namespace wg {

// A text equal to a remembered one changes nothing; otherwise it goes into
// the first empty entry, or, when all are full, the entries move up one place
// (the oldest is dropped) and it goes into the last. The entry written
// becomes the newest.
void RememberRecentText(std::span<std::string> texts, int& newest, const std::string& text);

// The text before the one in the field (the newest for an empty field);
// empty at the oldest or for a text not remembered.
std::string RecentTextOlder(std::span<const std::string> texts, int newest,
                            const std::string& fieldText);

// The text after the one in the field; empty at the last entry, for an empty
// field or for a text not remembered.
std::string RecentTextNewer(std::span<const std::string> texts, const std::string& fieldText);

// The ten texts of one field with the steps above; one thread's only.
class RecentTexts {
public:
    void Remember(const std::string& text) { RememberRecentText(texts_, newest_, text); }
    std::string Older(const std::string& fieldText) const {
        return RecentTextOlder(texts_, newest_, fieldText);
    }
    std::string Newer(const std::string& fieldText) const {
        return RecentTextNewer(texts_, fieldText);
    }
    // The entries, oldest place first.
    std::span<const std::string> Entries() const { return texts_; }

private:
    std::array<std::string, 10> texts_;
    int newest_ = 0;
};

}  // namespace wg
