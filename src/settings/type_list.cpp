// Parsing and publishing of the eight type and keyword lists.
#include "settings/type_list.h"

#include <cstddef>
#include <utility>

namespace wg {

namespace {

// A list text keeps at most this many characters (its buffer holds 1024 with
// the terminator).
constexpr std::size_t kMaxListText = 1023;

constexpr std::string_view kMiddleCatchAll = ";.;";

// The catch-all that goes at the end of `text`: "." after a ';', ";." otherwise.
void AppendCatchAll(std::string& text) {
    if (!text.empty() && text.back() == ';') {
        text += '.';
    } else {
        text += ";.";
    }
}

// True when every entry is an exclusion: at least one '!', and fewer
// separators with text after them than '!' characters. A list that already
// ends with its catch-all gets no second one, so that a list read back from
// the settings file stays as it was written.
bool NeedsCatchAll(std::string_view text) {
    if (text == "." || (text.size() >= 2 && text.substr(text.size() - 2) == ";.")) {
        return false;
    }
    std::size_t bangs = 0;
    std::size_t separators = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '!') {
            ++bangs;
        } else if (text[i] == ';' && i + 1 < text.size()) {
            ++separators;
        }
    }
    return bangs > 0 && separators < bangs;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::size_t KindIndex(int kind) {
    return static_cast<std::size_t>(kind - 1);
}

bool KnownKind(int kind) {
    return kind >= 1 && kind <= kTypeKindCount;
}

std::string_view StartText(int kind) {
    switch (static_cast<TypeKind>(kind)) {
        case TypeKind::SiteTypes:
            return kDefaultSiteTypes;
        case TypeKind::FileTypes:
            return kDefaultFileTypes;
        case TypeKind::MovieTypes:
            return kDefaultMovieTypes;
        case TypeKind::MusicTypes:
            return kDefaultMusicTypes;
        case TypeKind::PictureTypes:
            return kDefaultPictureTypes;
        case TypeKind::SearchWords:
            return kDefaultSearchWords;
        case TypeKind::ExclusionTypes:
        case TypeKind::DownloadKeywords:
            break;
    }
    return {};
}

}  // namespace

TypeEntries ParseTypeList(std::string_view input) {
    std::string text(input);

    // A list made only of exclusions wants everything else: give it a catch-all.
    if (NeedsCatchAll(text)) {
        AppendCatchAll(text);
    }

    // A catch-all in the middle would end every walk there: move it to the end.
    if (const std::size_t middle = text.find(kMiddleCatchAll); middle != std::string::npos) {
        text.erase(middle, 2);  // drops ";." and keeps the following ';'
        AppendCatchAll(text);
    }

    for (char& c : text) {
        c = LowerAscii(c);
    }
    if (text.size() > kMaxListText) {
        text.resize(kMaxListText);
    }

    TypeEntries parsed;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        if (end > start) {
            parsed.entries.emplace_back(text, start, end - start);
        }
        start = end + 1;
    }
    parsed.text = std::move(text);
    return parsed;
}

TypeLists::TypeLists() {
    for (int kind = 1; kind <= kTypeKindCount; ++kind) {
        lists_[KindIndex(kind)] =
            std::make_shared<const TypeEntries>(ParseTypeList(StartText(kind)));
    }
}

bool TypeLists::Set(int kind, std::string_view text) {
    if (!KnownKind(kind)) {
        return false;
    }
    // Parse outside the lock; readers holding the old snapshot keep it alive.
    TypeSnapshot fresh = std::make_shared<const TypeEntries>(ParseTypeList(text));
    const std::size_t index = KindIndex(kind);
    std::lock_guard<std::mutex> lock(mutexes_[index]);
    lists_[index].swap(fresh);
    return true;  // the old list is released after the lock, by `fresh`
}

TypeSnapshot TypeLists::Get(TypeKind kind) const {
    const int value = static_cast<int>(kind);
    if (!KnownKind(value)) {
        static const TypeSnapshot empty = std::make_shared<const TypeEntries>();
        return empty;
    }
    const std::size_t index = KindIndex(value);
    std::lock_guard<std::mutex> lock(mutexes_[index]);
    return lists_[index];
}

}  // namespace wg
