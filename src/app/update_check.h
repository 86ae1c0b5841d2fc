// The update check: asks the update server whether a newer version exists,
// fetches it beside the program with its change list and documents, installs
// it for the hand-over only when it is whole and matches the SHA-256 digest
// published beside it, and then winds the crawl down so that the program can
// close and swap its files (src/app/update_stages.h). It runs on the window's
// thread and reports through the status line; the transfers run on a thread
// of their own meanwhile, so that the window keeps repainting.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "app/update_stages.h"
#include "app/update_texts.h"
#include "platform/hosts.h"

namespace wg {

class App;

struct UpdateSetup {
    // The update server and the alternate one (WEBGRUBBLER_UPDATE_HOST).
    std::vector<platform::HostPort> servers;
    ProgramFiles program;                // the running program and its siblings
    std::filesystem::path documentsDir;  // "Changes.txt", "ReadMe.html", "License.html"
    double ownVersion = kProgramVersion;
    int connectTries = 3;
    int retryPauseMs = 4000;      // between connect tries
    int headerTimeoutMs = 20000;  // the whole header block of one answer
    int minBodyRate = 512;        // bytes per second; a slower body is given up
    // The whole check: the window takes no clicks while it runs, so a server
    // that trickles just above the rate is given up too.
    int budgetMs = 10 * 60 * 1000;
    std::size_t textLimit = 65536;                      // the version and digest answers
    std::uint64_t programLimit = 256ULL * 1024 * 1024;  // the new program
    std::uint64_t documentLimit = 8ULL * 1024 * 1024;   // each document
};

// The servers from the environment, the running binary's files, the
// program directory for the documents.
UpdateSetup DefaultUpdateSetup(const App& app);

// The check itself; a second call while one runs does nothing.
void CheckForUpdate(App& app, const UpdateSetup& setup);

}  // namespace wg
