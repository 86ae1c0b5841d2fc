// The type-list parser and the filters on arbitrary lists and links.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "settings/app_settings.h"
#include "settings/type_filters.h"
#include "settings/type_groups.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // The first line is a list, the rest a link.
    const std::size_t nl = input.find('\n');
    const std::string_view list = input.substr(0, nl);
    const std::string_view link =
        nl == std::string_view::npos ? std::string_view() : input.substr(nl + 1);
    wg::AppSettings settings;
    for (int kind = 1; kind <= wg::kTypeKindCount; ++kind) {
        settings.types.Set(kind, list);
    }
    const std::size_t dot = link.rfind('.');
    (void)wg::IsDownloadFileType(settings.types, link, dot);
    (void)wg::IsSiteType(settings.types, link, dot);
    (void)wg::IsWebPageExtension(link, dot);
    (void)wg::IsMediaLink(settings.types, link);
    (void)wg::SearchWordsAccept(settings.types, link);
    (void)wg::PassesDownloadKeywords(settings.types, link);
    (void)wg::CheckFileWanted(settings, link, "", false);
    (void)wg::ComputeTypeGroups(settings);
    return 0;
}
