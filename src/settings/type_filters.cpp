// Matching rules of the type and keyword lists. Entries are stored lowercased;
// the texts they are matched against are folded byte by byte ('A'..'Z' only).
#include "settings/type_filters.h"

#include "util/text.h"

namespace wg {

namespace {

constexpr std::string_view kCatchAll = ".";
constexpr std::string_view kDirectoryExtension = ".htm";

char Fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// `word` (lowercase) stands in `text` at `offset`, ignoring the case of `text`.
bool StartsAtNoCase(std::string_view text, std::size_t offset, std::string_view word) {
    if (offset > text.size() || text.size() - offset < word.size()) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (Fold(text[offset + i]) != Fold(word[i])) {
            return false;
        }
    }
    return true;
}

// `word` occurs anywhere in `text`, ignoring case. An empty word never occurs.
bool ContainsNoCase(std::string_view text, std::string_view word) {
    return FindNoCase(text, word, false) != kNotFound;
}

bool IsExclusion(std::string_view entry) {
    return !entry.empty() && entry.front() == '!';
}

// The word of an exclusion (or required word): the entry without its '!'.
std::string_view ExclusionWord(std::string_view entry) {
    return entry.substr(1);
}

// The extension text of a link, or nothing for an absent or impossible position.
bool ExtensionText(std::string_view link, std::size_t extPos, std::string_view& ext) {
    if (extPos == kNotFound || extPos > link.size()) {
        return false;
    }
    ext = link.substr(extPos);
    return true;
}

// The part of an extension text that the FILE_TYPES walk compares.
// Returns false when it has no '.'.
bool DownloadExtension(std::string_view ext, std::string_view& out) {
    const std::size_t query = ext.rfind('?');
    const bool hasQuery = query != std::string_view::npos;
    if (hasQuery) {
        ext = ext.substr(0, query);
    }
    if (ext == "/") {
        out = kDirectoryExtension;
        return true;
    }
    const std::size_t dot = ext.rfind('.');
    if (dot == std::string_view::npos) {
        return false;
    }
    const std::size_t slash = hasQuery ? ext.rfind('/') : ext.find('/');
    if (slash != std::string_view::npos && slash > dot) {
        out = ext.substr(ext.rfind('/'));
        if (out == "/") {
            out = kDirectoryExtension;  // a directory link
        }
        return true;
    }
    out = ext.substr(dot);
    return true;
}

// The extension of a URL for the add-time test: the host is skipped when the
// URL begins with a scheme. Returns false with `bareHost` set when no '/'
// follows the host, and false when the URL has no '.'.
bool AddTimeExtension(std::string_view url, std::string_view& out, bool& bareHost) {
    bareHost = false;
    std::size_t slashFrom = 0;
    if ((url.size() > 5 && url[5] == ':') || (url.size() >= 9 && url[4] == ':')) {
        slashFrom = 8;
    }
    const std::size_t query = url.rfind('?');
    const bool hasQuery = query != std::string_view::npos;
    const std::string_view part = hasQuery ? url.substr(0, query) : url;

    const std::size_t dot = part.rfind('.');
    std::size_t slash = std::string_view::npos;
    if (slashFrom < part.size()) {
        slash = hasQuery ? part.rfind('/') : part.find('/', slashFrom);
        if (slash != std::string_view::npos && slash < slashFrom) {
            slash = std::string_view::npos;
        }
    }
    if (slash == std::string_view::npos) {
        bareHost = true;
    }
    if (dot == std::string_view::npos) {
        return false;
    }
    if (slash != std::string_view::npos && slash > dot) {
        out = part.substr(part.rfind('/'));
    } else {
        out = part.substr(dot);
    }
    return true;
}

// True when the page-extension text holds `part` (case-sensitive substring).
bool Listed(std::string_view part) {
    return kWebPageExtensions.find(part) != std::string_view::npos;
}

bool AnyEntryOccurs(const TypeEntries& list, std::string_view text) {
    for (const std::string& entry : list.entries) {
        if (ContainsNoCase(text, entry)) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool EntryOccursLoosely(std::string_view text, std::string_view entry) {
    for (std::size_t from = 0; from < 3 && from < entry.size(); ++from) {
        if (ContainsNoCase(text, entry.substr(from))) {
            return true;
        }
    }
    return false;
}

bool IsDownloadFileType(const TypeLists& lists, std::string_view link, std::size_t extPos) {
    const TypeSnapshot fileTypes = lists.Get(TypeKind::FileTypes);
    std::string_view ext;
    if (!ExtensionText(link, extPos, ext)) {
        return !fileTypes->text.empty() && fileTypes->text.back() == '.';
    }
    std::string_view extension;
    if (!DownloadExtension(ext, extension)) {
        return false;
    }
    for (const std::string& entry : fileTypes->entries) {
        if (IsExclusion(entry)) {
            const std::string_view word = ExclusionWord(entry);
            if (!word.empty() && StartsAtNoCase(extension, 0, word)) {
                return false;
            }
        } else if (StartsAtNoCase(extension, 0, entry)) {
            return true;
        }
    }
    return false;
}

bool IsSiteType(const TypeLists& lists, std::string_view link, std::size_t extPos) {
    std::string_view ext;
    if (!ExtensionText(link, extPos, ext)) {
        return true;
    }
    const TypeSnapshot siteTypes = lists.Get(TypeKind::SiteTypes);
    for (const std::string& entry : siteTypes->entries) {
        if (IsExclusion(entry)) {
            if (ContainsNoCase(ext, ExclusionWord(entry))) {
                return false;
            }
        } else if (ContainsNoCase(ext, entry)) {
            return true;
        }
    }
    if (!ext.empty() && ext.back() == '/') {
        return true;
    }
    const std::size_t slash = ext.find('/');
    if (slash == std::string_view::npos) {
        return false;
    }
    // A host followed by a plain path is a page; a file name or an anchor is not.
    return ext.find_first_of(".#", slash + 1) == std::string_view::npos;
}

bool IsWebPageExtension(std::string_view link, std::size_t extPos) {
    std::string_view ext;
    if (!ExtensionText(link, extPos, ext)) {
        return true;
    }
    if (ext == ".js") {
        return false;
    }
    if (!ext.empty() && ext.back() == '/') {
        return true;
    }
    if (ext.starts_with("..")) {
        const std::size_t dot = ext.find('.', 2);
        if (dot == std::string_view::npos) {
            return false;
        }
        std::size_t end = ext.find('?', dot);
        if (end == std::string_view::npos) {
            end = ext.find('#', dot);
        }
        if (end != std::string_view::npos) {
            return Listed(ext.substr(dot, end - dot));
        }
        ext = ext.substr(dot);
    }
    const std::size_t stop = ext.find_first_of("?;#", 2);
    if (stop != std::string_view::npos) {
        std::string_view part = ext.substr(0, stop);
        if (stop > 5) {
            if (const std::size_t lastDot = part.rfind('.'); lastDot != std::string_view::npos) {
                part = part.substr(lastDot);
            }
        }
        return Listed(part);
    }
    // A link that ends in a host name is a page too.
    return Listed(ext) || kTopLevelDomains.find(ext) != std::string_view::npos;
}

bool IsMediaLink(const TypeLists& lists, std::string_view link) {
    for (TypeKind kind : {TypeKind::MovieTypes, TypeKind::MusicTypes, TypeKind::PictureTypes}) {
        if (AnyEntryOccurs(*lists.Get(kind), link)) {
            return true;
        }
    }
    return false;
}

SearchDecision SearchWordsAccept(const TypeLists& lists, std::string_view text) {
    const TypeSnapshot words = lists.Get(TypeKind::SearchWords);
    if (words->entries.empty() || words->entries.front().empty()) {
        return SearchDecision::NoTest;
    }
    for (const std::string& entry : words->entries) {
        if (entry == kCatchAll) {
            return SearchDecision::Accept;
        }
        if (IsExclusion(entry)) {
            if (ContainsNoCase(text, ExclusionWord(entry))) {
                return SearchDecision::Reject;
            }
        } else if (ContainsNoCase(text, entry)) {
            return SearchDecision::Accept;
        }
    }
    return SearchDecision::Reject;
}

bool SearchWordsOnPage(const AppSettings& settings, std::string_view pageText) {
    if (settings.searchType.load(std::memory_order_relaxed) != kSearchOnPage) {
        return true;
    }
    return SearchWordsAccept(settings.types, pageText) != SearchDecision::Reject;
}

bool SearchWordsInUrl(const AppSettings& settings, std::string_view url) {
    if (settings.searchType.load(std::memory_order_relaxed) != kSearchInUrl) {
        return true;
    }
    return SearchWordsAccept(settings.types, url) != SearchDecision::Reject;
}

bool ContainsSkipKeyword(const TypeLists& lists, std::string_view url) {
    return AnyEntryOccurs(*lists.Get(TypeKind::ExclusionTypes), url);
}

bool PassesDownloadKeywords(const TypeLists& lists, std::string_view url) {
    const TypeSnapshot keywords = lists.Get(TypeKind::DownloadKeywords);
    bool hasRequired = false;
    bool requiredFound = false;
    for (const std::string& entry : keywords->entries) {
        if (IsExclusion(entry)) {
            const std::string_view word = ExclusionWord(entry);
            if (!word.empty()) {
                hasRequired = true;
                requiredFound = requiredFound || ContainsNoCase(url, word);
            }
        } else if (entry != kCatchAll && ContainsNoCase(url, entry)) {
            return false;
        }
    }
    return !hasRequired || requiredFound;
}

bool ContainsAnyEntry(const TypeEntries& list, std::string_view url) {
    return AnyEntryOccurs(list, url);
}

FileWanted CheckFileWanted(const AppSettings& settings, std::string_view url,
                           std::string_view requiredDomain, bool withinDomainScope) {
    if (!requiredDomain.empty() && withinDomainScope &&
        url.find(requiredDomain) == std::string_view::npos) {
        return FileWanted::Ignore;
    }
    std::string_view extension;
    bool bareHost = false;
    const bool hasExtension = AddTimeExtension(url, extension, bareHost);
    if (bareHost && (settings.dft.load(std::memory_order_relaxed) & kGroupWebPages) != 0) {
        return FileWanted::Add;
    }
    if (!hasExtension) {
        return FileWanted::Ignore;
    }
    const TypeSnapshot fileTypes = settings.types.Get(TypeKind::FileTypes);
    for (const std::string& entry : fileTypes->entries) {
        if (IsExclusion(entry)) {
            // An excluded type refuses only extensions that begin with it: read
            // loosely, "!.pif" would refuse ".gif" and "!.btm" ".html".
            const std::string_view word = ExclusionWord(entry);
            if (!word.empty() && StartsAtNoCase(extension, 0, word)) {
                return FileWanted::Refuse;
            }
        } else if (entry == kCatchAll || EntryOccursLoosely(extension, entry)) {
            return FileWanted::Add;
        }
    }
    return FileWanted::Ignore;
}

}  // namespace wg
