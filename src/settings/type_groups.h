// The four type-group boxes ("Web Pages", "Movies", "Music", "Pictures") and
// the DFT mask behind them: which groups the lists imply, how the boxes show
// that, the download-type text that ticked boxes compose, and the mask that
// the options dialog saves.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "settings/app_settings.h"
#include "settings/type_list.h"

namespace wg {

enum class BoxState { Unticked, Ticked, HalfTicked };

// Box indices; box i stands for DFT bit (1 << i).
enum TypeBox : std::size_t { kBoxWebPages = 0, kBoxMovies = 1, kBoxMusic = 2, kBoxPictures = 3 };

using TypeBoxes = std::array<BoxState, 4>;

// DFT with the bits of every group that some FILE_TYPES entry reaches (by
// EntryOccursLoosely in one of the group's entries); exactly
// kGroupWebPages when FILE_TYPES is the default text. Never removes a bit.
int ComputeTypeGroups(const AppSettings& settings);

// The box states shown for the current DFT and lists: ticked for a DFT bit
// ("Web Pages" also for the default FILE_TYPES text), half-ticked for a bit
// that only ComputeTypeGroups sets.
TypeBoxes TypeBoxStates(const AppSettings& settings);

// After a click on a box: half-ticked boxes become unticked; a ticked
// "Web Pages" unticks the others and gives the default FILE_TYPES text;
// otherwise the picture, movie and music list texts of the ticked boxes
// joined with ';' (empty when none is ticked).
std::string ComposeDownloadTypes(TypeBoxes& boxes, const AppSettings& settings);

// The mask of the ticked boxes (half-ticked ones do not count).
int MaskOfTickedBoxes(const TypeBoxes& boxes);

// The options dialog's DFT: a ticked box counts only when `fileTypesText`
// contains (case-sensitive) the group's text, the default FILE_TYPES text for
// "Web Pages" and the current list text for the others.
int DftFromTickedBoxes(const TypeBoxes& boxes, std::string_view fileTypesText,
                       const AppSettings& settings);

// True when some FILE_TYPES entry occurs inside ".htm", ignoring case (".htm",
// "htm" and the catch-all "." do).
bool WebPagesWanted(const TypeLists& lists);

// The start-up rule: clears DFT bit 0 when it is set but web pages are not
// wanted. Returns true when it cleared the bit.
bool DropUnwantedWebPagesBit(AppSettings& settings);

}  // namespace wg
