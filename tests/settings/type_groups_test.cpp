#include "settings/type_groups.h"

#include <gtest/gtest.h>

#include <string>

namespace wg {
namespace {

constexpr BoxState U = BoxState::Unticked;
constexpr BoxState T = BoxState::Ticked;
constexpr BoxState H = BoxState::HalfTicked;

TEST(TypeGroupCompute, EntriesReachGroupsAndBitsAreNeverRemoved) {
    // The default text gives web pages only.
    AppSettings settings;
    settings.dft = kGroupPictures;
    EXPECT_EQ(ComputeTypeGroups(settings), kGroupWebPages);
    EXPECT_EQ(TypeBoxStates(settings), (TypeBoxes{T, U, U, T}));
    settings.dft = 0;
    EXPECT_EQ(TypeBoxStates(settings), (TypeBoxes{T, U, U, U}));

    settings.types.Set(TypeKind::FileTypes, ".");
    EXPECT_EQ(ComputeTypeGroups(settings), 15);
    EXPECT_EQ(TypeBoxStates(settings), (TypeBoxes{H, H, H, H}));

    settings.types.Set(TypeKind::FileTypes, ".MP3");
    EXPECT_EQ(ComputeTypeGroups(settings), kGroupMusic);
    settings.dft = kGroupWebPages | kGroupMovies;
    EXPECT_EQ(ComputeTypeGroups(settings), kGroupWebPages | kGroupMovies | kGroupMusic);
    EXPECT_EQ(TypeBoxStates(settings), (TypeBoxes{T, T, H, U}));

    // "mpeg" from its first character reaches ".mpeg", "peg" from its second
    // reaches ".jpeg"; nothing in the site types.
    settings.dft = 0;
    settings.types.Set(TypeKind::FileTypes, "mpeg");
    EXPECT_EQ(ComputeTypeGroups(settings), kGroupMovies | kGroupPictures);
    settings.types.Set(TypeKind::FileTypes, ".zip");
    EXPECT_EQ(ComputeTypeGroups(settings), 0);
}

TEST(TypeGroupCompose, TickedBoxesComposeTheDownloadTypes) {
    AppSettings settings;
    const std::string pictures(kDefaultPictureTypes), movies(kDefaultMovieTypes),
        music(kDefaultMusicTypes);
    // Web pages give the whole default list; half-ticked boxes come back unticked.
    const struct {
        TypeBoxes given;
        std::string types;
        TypeBoxes after;
    } cases[] = {
        {{U, U, T, T}, pictures + ";" + music, {U, U, T, T}},
        {{U, T, T, T}, pictures + ";" + movies + ";" + music, {U, T, T, T}},
        {{T, T, H, U}, std::string(kDefaultFileTypes), {T, U, U, U}},
        {{U, H, H, T}, pictures, {U, U, U, T}},
        {{H, U, U, U}, "", {U, U, U, U}},
    };
    for (const auto& c : cases) {
        TypeBoxes boxes = c.given;
        EXPECT_EQ(ComposeDownloadTypes(boxes, settings), c.types) << c.types;
        EXPECT_EQ(boxes, c.after) << c.types;
    }

    // The current list texts are used.
    settings.types.Set(TypeKind::MovieTypes, ".MKV");
    TypeBoxes boxes{U, T, U, U};
    EXPECT_EQ(ComposeDownloadTypes(boxes, settings), ".mkv");
    EXPECT_EQ(MaskOfTickedBoxes(TypeBoxes{T, H, T, U}), kGroupWebPages | kGroupMusic);
}

TEST(TypeGroupSave, TickedBoxCountsOnlyWhenTheTextHoldsItsGroup) {
    AppSettings settings;
    EXPECT_EQ(DftFromTickedBoxes({T, U, U, U}, kDefaultFileTypes, settings), kGroupWebPages);
    EXPECT_EQ(DftFromTickedBoxes({T, U, U, U}, "!.exe;.", settings), 0);

    TypeBoxes boxes{U, T, T, T};
    const std::string composed = ComposeDownloadTypes(boxes, settings);
    EXPECT_EQ(DftFromTickedBoxes(boxes, composed, settings),
              kGroupMovies | kGroupMusic | kGroupPictures);
    // Music dropped from the text, the box still ticked.
    const std::string noMusic =
        std::string(kDefaultPictureTypes) + ";" + std::string(kDefaultMovieTypes);
    EXPECT_EQ(DftFromTickedBoxes(boxes, noMusic, settings), kGroupMovies | kGroupPictures);
    // Half-ticked boxes do not count; the comparison is case-sensitive.
    EXPECT_EQ(DftFromTickedBoxes({U, H, U, T}, composed, settings), kGroupPictures);
    EXPECT_EQ(DftFromTickedBoxes({U, U, U, T}, ".BMP;.GIF;.JPEG;.JPG;.PNG;.TGA;.TIFF", settings),
              0);
}

TEST(TypeGroupStartup, WebPagesBitNeedsAnEntryInsideHtm) {
    AppSettings settings;
    EXPECT_TRUE(WebPagesWanted(settings.types));
    EXPECT_FALSE(DropUnwantedWebPagesBit(settings));
    EXPECT_EQ(settings.dft.load(), kGroupWebPages);

    for (const char* wanted : {".htm", "htm", ".jpg;.HTM", "h"}) {
        settings.types.Set(TypeKind::FileTypes, wanted);
        EXPECT_TRUE(WebPagesWanted(settings.types)) << wanted;
    }
    for (const char* unwanted : {".jpg;.gif", "!.htm;.jpg", ".html", ""}) {
        settings.types.Set(TypeKind::FileTypes, unwanted);
        EXPECT_FALSE(WebPagesWanted(settings.types)) << unwanted;
    }

    settings.dft = kGroupWebPages | kGroupPictures;
    EXPECT_TRUE(DropUnwantedWebPagesBit(settings));
    EXPECT_EQ(settings.dft.load(), kGroupPictures);
    EXPECT_FALSE(DropUnwantedWebPagesBit(settings));
}

}  // namespace
}  // namespace wg
