#include "app/recent_texts.h"

#include <algorithm>

namespace wg {

void RememberRecentText(std::span<std::string> texts, int& newest, const std::string& text) {
    if (texts.empty() || std::find(texts.begin(), texts.end(), text) != texts.end()) {
        return;
    }
    const auto empty = std::find(texts.begin(), texts.end(), std::string());
    if (empty != texts.end()) {
        *empty = text;
        newest = static_cast<int>(empty - texts.begin());
        return;
    }
    std::rotate(texts.begin(), texts.begin() + 1, texts.end());
    texts.back() = text;
    newest = static_cast<int>(texts.size()) - 1;
}

std::string RecentTextOlder(std::span<const std::string> texts, int newest,
                            const std::string& fieldText) {
    if (fieldText.empty()) {
        return newest >= 0 && static_cast<std::size_t>(newest) < texts.size()
                   ? texts[static_cast<std::size_t>(newest)]
                   : std::string();
    }
    const auto at = std::find(texts.begin(), texts.end(), fieldText);
    if (at == texts.end() || at == texts.begin()) {
        return {};
    }
    return *(at - 1);
}

std::string RecentTextNewer(std::span<const std::string> texts, const std::string& fieldText) {
    const auto at = std::find(texts.begin(), texts.end(), fieldText);
    if (fieldText.empty() || at == texts.end() || at + 1 == texts.end()) {
        return {};
    }
    return *(at + 1);
}

}  // namespace wg
