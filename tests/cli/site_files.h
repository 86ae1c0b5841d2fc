// What the end-to-end tests of the console program share: writing a test
// site, the options of a crawl within the site's domain, and comparing a
// download directory with what it should hold.
#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace wg::test {

// webgrubbler-cli's options for a quiet crawl of pages and pictures within
// the start address's domain, answering No, in the program directory `home`.
std::vector<std::string> DomainCrawlArgs(const std::filesystem::path& home);

// Empty when `saved` holds exactly `bytes`; else what is wrong with it.
std::string CompareSaved(const std::filesystem::path& saved, const std::string& bytes);

// The files below `root` that are not in `expected` ('/'-separated, relative).
std::set<std::string> UnexpectedFiles(const std::filesystem::path& root,
                                      const std::set<std::string>& expected);

}  // namespace wg::test
