// A whole state file read back as the program loads one: the header, the page
// records, the visited URLs and the file URLs, up to the first entry that is
// not read whole. Shared by the layout tests and the fuzz target.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/state_file.h"

namespace wg::test {

struct StateReadBack {
    std::vector<UrlRecord> pages;
    std::vector<std::string> visited;
    std::vector<std::string> files;
    StateRead end = StateRead::Ok;  // how reading stopped
};

// Reads n entries with next; false at the first that is not Ok.
template <class T>
bool ReadStateList(StateFileReader& reader, StateRead (StateFileReader::*next)(T*), std::int32_t n,
                   std::vector<T>& out, StateRead& end) {
    for (std::int32_t i = 0; i < n; ++i) {
        T item{};
        if ((end = (reader.*next)(&item)) != StateRead::Ok)
            return false;
        out.push_back(item);
    }
    return true;
}

inline StateReadBack ReadStateFile(std::string_view bytes) {
    StateReadBack r;
    StateFileReader reader(bytes);
    std::int32_t n = 0;
    if ((r.end = reader.ReadHeader()) == StateRead::Ok &&
        ReadStateList(reader, &StateFileReader::NextPage, reader.PageCount(), r.pages, r.end) &&
        (r.end = reader.ReadCount(&n)) == StateRead::Ok &&
        ReadStateList(reader, &StateFileReader::NextVisited, n, r.visited, r.end) &&
        (r.end = reader.ReadCount(&n)) == StateRead::Ok) {
        ReadStateList(reader, &StateFileReader::NextFileUrl, n, r.files, r.end);
    }
    return r;
}

}  // namespace wg::test
