// The files and directories of the program, all below the program directory
// unless the user names others.
#pragma once

#include <filesystem>

namespace wg {

struct AppPaths {
    std::filesystem::path programDir;
    std::filesystem::path downloadDir;    // SAVEPATH
    std::filesystem::path stateFile;      // Save.dat or a per-site state file
    std::filesystem::path pointerFile;    // load.cfg
    std::filesystem::path historyFile;    // History.dta
    std::filesystem::path historyBackup;  // History.bak
    std::filesystem::path settingsFile;   // Grubbler.ini
    std::filesystem::path readMeFile;     // ReadMe.html
};

}  // namespace wg
