// webgrubbler-cli find-duplicates: the duplicate-file finder on the console.
#pragma once

#include <string>
#include <vector>

namespace wg {

// Runs the command with the arguments after "find-duplicates". Result lines
// go to standard output, counters and status texts to standard error.
// Returns the exit status: 0 the search completed, 1 the directory could not
// be read, 2 bad usage, 130 stopped by Ctrl-C.
int RunFindDuplicates(const std::vector<std::string>& args);

std::string FindDuplicatesUsage();

}  // namespace wg
