// Type-group mask and box logic.
#include "settings/type_groups.h"

#include "settings/type_filters.h"
#include "util/text.h"

namespace wg {

namespace {

constexpr std::string_view kWebPageProbe = ".htm";

constexpr int BitOf(std::size_t box) {
    return 1 << box;
}

// The list behind each group box, in box order.
constexpr std::array<TypeKind, 4> kGroupLists = {TypeKind::SiteTypes, TypeKind::MovieTypes,
                                                 TypeKind::MusicTypes, TypeKind::PictureTypes};

bool ContainsNoCase(std::string_view text, std::string_view word) {
    return FindNoCase(text, word, false) != kNotFound;
}

bool ReachesGroup(const TypeEntries& fileTypes, const TypeEntries& group) {
    for (const std::string& fileEntry : fileTypes.entries) {
        for (const std::string& groupEntry : group.entries) {
            if (EntryOccursLoosely(groupEntry, fileEntry)) {
                return true;
            }
        }
    }
    return false;
}

bool IsDefaultFileTypes(const AppSettings& settings) {
    return settings.types.Get(TypeKind::FileTypes)->text == kDefaultFileTypes;
}

}  // namespace

int ComputeTypeGroups(const AppSettings& settings) {
    int mask = settings.dft.load(std::memory_order_relaxed);
    const TypeSnapshot fileTypes = settings.types.Get(TypeKind::FileTypes);
    if (fileTypes->text == kDefaultFileTypes) {
        return kGroupWebPages;
    }
    for (std::size_t box = 0; box < kGroupLists.size(); ++box) {
        if (ReachesGroup(*fileTypes, *settings.types.Get(kGroupLists[box]))) {
            mask |= BitOf(box);
        }
    }
    return mask;
}

TypeBoxes TypeBoxStates(const AppSettings& settings) {
    const int dft = settings.dft.load(std::memory_order_relaxed);
    const int computed = ComputeTypeGroups(settings);
    TypeBoxes boxes{};
    for (std::size_t box = 0; box < boxes.size(); ++box) {
        const int bit = BitOf(box);
        bool ticked = (dft & bit) != 0;
        if (box == kBoxWebPages && IsDefaultFileTypes(settings)) {
            ticked = true;
        }
        if (ticked) {
            boxes[box] = BoxState::Ticked;
        } else if ((computed & bit) != 0) {
            boxes[box] = BoxState::HalfTicked;
        } else {
            boxes[box] = BoxState::Unticked;
        }
    }
    return boxes;
}

std::string ComposeDownloadTypes(TypeBoxes& boxes, const AppSettings& settings) {
    for (BoxState& state : boxes) {
        if (state == BoxState::HalfTicked) {
            state = BoxState::Unticked;
        }
    }
    if (boxes[kBoxWebPages] == BoxState::Ticked) {
        boxes[kBoxMovies] = boxes[kBoxMusic] = boxes[kBoxPictures] = BoxState::Unticked;
        return std::string(kDefaultFileTypes);
    }
    std::string text;
    for (std::size_t box : {kBoxPictures, kBoxMovies, kBoxMusic}) {
        if (boxes[box] != BoxState::Ticked) {
            continue;
        }
        const std::string list = settings.types.Text(kGroupLists[box]);
        if (list.empty()) {
            continue;
        }
        if (!text.empty()) {
            text += ';';
        }
        text += list;
    }
    return text;
}

int MaskOfTickedBoxes(const TypeBoxes& boxes) {
    int mask = 0;
    for (std::size_t box = 0; box < boxes.size(); ++box) {
        if (boxes[box] == BoxState::Ticked) {
            mask |= BitOf(box);
        }
    }
    return mask;
}

int DftFromTickedBoxes(const TypeBoxes& boxes, std::string_view fileTypesText,
                       const AppSettings& settings) {
    int mask = 0;
    for (std::size_t box = 0; box < boxes.size(); ++box) {
        if (boxes[box] != BoxState::Ticked) {
            continue;
        }
        const std::string group = box == kBoxWebPages ? std::string(kDefaultFileTypes)
                                                      : settings.types.Text(kGroupLists[box]);
        if (fileTypesText.find(group) != std::string_view::npos) {
            mask |= BitOf(box);
        }
    }
    return mask;
}

bool WebPagesWanted(const TypeLists& lists) {
    for (const std::string& entry : lists.Get(TypeKind::FileTypes)->entries) {
        if (ContainsNoCase(kWebPageProbe, entry)) {
            return true;
        }
    }
    return false;
}

bool DropUnwantedWebPagesBit(AppSettings& settings) {
    if ((settings.dft.load(std::memory_order_relaxed) & kGroupWebPages) == 0 ||
        WebPagesWanted(settings.types)) {
        return false;
    }
    settings.dft.fetch_and(~kGroupWebPages, std::memory_order_relaxed);
    return true;
}

}  // namespace wg
