// The eight user-editable type and keyword lists. Each is a ';'-separated,
// lowercased text in which '!' marks an exclusion (for the download keywords a
// required word) and a lone '.' is the catch-all. The settings thread replaces
// a list while workers read it: every reader takes a snapshot that stays valid
// for as long as it holds it.
#pragma once

#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace wg {

enum class TypeKind : int {
    SiteTypes = 1,         // SITE_TYPES
    FileTypes = 2,         // FILE_TYPES
    ExclusionTypes = 3,    // EXCLUSION_TYPES, keywords in URL to skip
    MovieTypes = 4,        // MOVIE_FILE_TYPES
    MusicTypes = 5,        // MUSIC_FILE_TYPES
    PictureTypes = 6,      // PICTURES_FILE_TYPES
    SearchWords = 7,       // URL_SEARCH_WORDS
    DownloadKeywords = 8,  // DOWNLOAD_KEYWORDS
};

inline constexpr int kTypeKindCount = 8;

// Texts of the lists at program start (also the "Defaults" texts of kinds 1 and 2).
inline constexpr std::string_view kDefaultSiteTypes =
    ".htm;.phtm;.asp;.php;.cgi;.cfm;/?;.shtm;.jsp;.pl;.stm;.xml;.jhtm;.dll;.xhtm;.rss";
inline constexpr std::string_view kDefaultFileTypes =
    "!.bat;!.btm;!.cmd;!.com;!.cpl;!.dll;!.exe;!.lnk;!.msi;!.pif;!.prf;!.reg;!.scr;!.vbs;.";
inline constexpr std::string_view kDefaultMovieTypes = ".asf;.avi;.moov;.mov;.mpg;.mpeg;.qt;.wmv";
inline constexpr std::string_view kDefaultMusicTypes =
    ".aac;.ac;.aiff;.au;.kar;.m4a;.midi;.mp3;.mp4;.ogg;.ra;.rm;.wav";
inline constexpr std::string_view kDefaultPictureTypes = ".bmp;.gif;.jpeg;.jpg;.png;.tga;.tiff";
inline constexpr std::string_view kDefaultSearchWords = ".";

// One parsed list: the text as last set (lowercased, at most 1023 characters)
// and its entries in order.
struct TypeEntries {
    std::string text;
    std::vector<std::string> entries;
};

using TypeSnapshot = std::shared_ptr<const TypeEntries>;

class TypeLists {
public:
    TypeLists();  // every kind parsed from its program-start text
    TypeLists(const TypeLists&) = delete;
    TypeLists& operator=(const TypeLists&) = delete;

    // Parses and publishes a list (the catch-all and exclusion rules applied).
    // False only for an unknown kind.
    bool Set(int kind, std::string_view text);
    bool Set(TypeKind kind, std::string_view text) { return Set(static_cast<int>(kind), text); }

    // The current list; never null.
    TypeSnapshot Get(TypeKind kind) const;
    std::string Text(TypeKind kind) const { return Get(kind)->text; }

private:
    mutable std::array<std::mutex, kTypeKindCount> mutexes_;
    std::array<TypeSnapshot, kTypeKindCount> lists_;
};

// Parses a list text the way Set does, without publishing it.
TypeEntries ParseTypeList(std::string_view text);

}  // namespace wg
