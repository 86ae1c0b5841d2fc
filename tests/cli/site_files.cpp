#include "cli/site_files.h"

#include "support/test_dirs.h"

namespace wg::test {

namespace fs = std::filesystem;

std::vector<std::string> DomainCrawlArgs(const fs::path& home) {
    return {"--home", home.string(), "--scope", "domain", "--types", "web,pictures", "--no", "-q"};
}

std::string CompareSaved(const fs::path& saved, const std::string& bytes) {
    if (!fs::is_regular_file(saved)) {
        return "not saved";
    }
    const std::string text = ReadWholeFile(saved);
    if (text == bytes) {
        return "";
    }
    return "differs from its source (" + std::to_string(text.size()) + " bytes saved, " +
           std::to_string(bytes.size()) + " served)";
}

std::set<std::string> UnexpectedFiles(const fs::path& root, const std::set<std::string>& expected) {
    std::set<std::string> extra;
    for (const std::string& file : FilesBelow(root)) {
        if (expected.count(file) == 0) {
            extra.insert(file);
        }
    }
    return extra;
}

}  // namespace wg::test
