// What the end-to-end tests of the console program share: writing a test
// site, the options of a crawl within the site's domain, comparing a
// download directory with what it should hold, and the browser check.
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

// Opens the offline copy in `downloads` with the headless browser check
// (tests/browser/check_mirror.mjs), `options` before its arguments, and
// expects no page to miss a file; the screenshot goes to `shot` beside the
// test program. Skips when node, its module or Chromium is missing, unless
// WG_REQUIRE_BROWSER=1.
void RunBrowserCheck(const std::vector<std::string>& options,
                     const std::filesystem::path& downloads, const std::string& startPage,
                     const std::string& shot);

}  // namespace wg::test
