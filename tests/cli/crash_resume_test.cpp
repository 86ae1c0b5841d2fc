// Kills the console program with SIGKILL again and again in the middle of a
// crawl, while it saves its state file every few milliseconds, so that some
// kills land in the middle of a save. After every kill the state file on disk
// must read whole, as a load would read it, with nothing left over. Then the
// crawl is resumed to its end, and the download directory must hold every
// page and file of the site byte for byte, and nothing else.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "cli/site_files.h"
#include "crawl/url_record.h"
#include "store/state_file.h"
#include "support/child_process.h"
#include "support/nginx_server.h"
#include "support/test_dirs.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define WG_CRASH_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define WG_CRASH_TEST_SANITIZED 1
#endif
#endif

namespace wg::test {
namespace {

namespace fs = std::filesystem;

const std::string kCli = WG_CLI_PATH;

#ifdef WG_CRASH_TEST_SANITIZED
// The sanitizer builds start and run several times slower: the kills come
// later, and the final runs get more time.
constexpr int kMinRunMs = 150;
constexpr int kMaxRunMs = 600;
constexpr int kFinishTimeoutMs = 240000;
#else
constexpr int kMinRunMs = 50;
constexpr int kMaxRunMs = 400;
constexpr int kFinishTimeoutMs = 120000;
#endif
constexpr int kKills = 20;
constexpr int kMaxKillRuns = 40;  // runs that end by themselves do not count as kills
constexpr int kMaxFinishRuns = 10;

constexpr int kPages = 120;  // index.html and p001 .. p119
constexpr int kFiles = 60;

// nginx's own type table in the test server knows html and txt only. The
// bodies go out in 4 KB pieces at 100 KB/s per connection, so that the crawl
// lasts over many kills and a kill often finds a download half done.
constexpr std::string_view kServerConfig =
    "types { text/html html; image/png png; image/jpeg jpg; application/zip zip; }\n"
    "sendfile off;\n"
    "sendfile_max_chunk 4k;\n"
    "limit_rate 100k;\n";

// A fixed generator: the same site and the same kill times on every run.
int Between(std::mt19937& random, int low, int high) {  // inclusive
    return low + static_cast<int>(random() % static_cast<std::uint32_t>(high - low + 1));
}

// The test site: pages in the root and two directories, each linking to about
// six others, and pictures and archives of pattern bytes in three places. All
// links are relative and plain, so a saved page equals its source.
std::map<std::string, std::string> MakeSite() {
    static const char* const kPageDirs[] = {"", "alpha/", "beta/"};
    static const char* const kFileDirs[] = {"media/", "alpha/pics/", "beta/"};
    static const char* const kExtensions[] = {".jpg", ".png", ".zip"};
    static const char* const kWords[] = {"grubble", "harvest", "lantern", "meadow", "pebble",
                                         "quarry",  "saffron", "thicket", "umber",  "willow"};
    std::mt19937 random(0x5EED1234);

    std::vector<std::string> pages{"index.html"};
    for (int i = 1; i < kPages; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%sp%03d.html", kPageDirs[i % 3], i);
        pages.emplace_back(name);
    }
    // The path of `to` as a link from the page `from`.
    auto linkTo = [](const std::string& from, const std::string& to) {
        return fs::path(to).lexically_relative(fs::path(from).parent_path()).generic_string();
    };
    std::map<std::string, std::string> site;
    std::vector<std::vector<std::string>> fileLinks(kPages);
    for (int j = 0; j < kFiles; ++j) {
        char name[32];
        std::snprintf(name, sizeof name, "%sf%02d%s", kFileDirs[j % 3], j, kExtensions[j % 3]);
        const std::size_t size = static_cast<std::size_t>(Between(random, 5 * 1024, 60 * 1024));
        std::string bytes(size, '\0');
        const std::uint32_t salt = random();
        for (std::size_t k = 0; k < size; ++k) {
            bytes[k] = static_cast<char>((k * 131 + (k >> 7) * 17 + salt) & 0xFF);
        }
        // The signature of the format in front, as a real file has.
        static const std::string kMagic[] = {"\xFF\xD8\xFF\xE0", "\x89PNG\r\n\x1A\n",
                                             std::string("PK\x03\x04", 4)};
        bytes.replace(0, kMagic[j % 3].size(), kMagic[j % 3]);
        site[name] = std::move(bytes);
        // Every file is linked from one page, a third of them from a second.
        fileLinks[static_cast<std::size_t>((j * 2 + 1) % kPages)].push_back(name);
        if (j % 3 == 1) {
            fileLinks[static_cast<std::size_t>(Between(random, 0, kPages - 1))].push_back(name);
        }
    }
    for (int i = 0; i < kPages; ++i) {
        const std::string& page = pages[static_cast<std::size_t>(i)];
        // The next page keeps every page in reach of the start page.
        std::set<int> targets{(i + 1) % kPages, (i + 7) % kPages, (i * 5 + 3) % kPages};
        while (targets.size() < 6) {
            targets.insert(Between(random, 0, kPages - 1));
        }
        targets.erase(i);
        std::string html = "<html>\n<head><title>Page " + std::to_string(i) +
                           "</title></head>\n<body>\n<h1>Page " + std::to_string(i) + "</h1>\n<p>";
        const int words = Between(random, 300, 1200);
        for (int w = 0; w < words; ++w) {
            html += kWords[random() % 10];
            html += w % 12 == 11 ? ".\n" : " ";
        }
        html += "</p>\n<ul>\n";
        for (const int t : targets) {
            const std::string& target = pages[static_cast<std::size_t>(t)];
            html += "<li><a href=\"" + linkTo(page, target) + "\">Page " + std::to_string(t) +
                    "</a></li>\n";
        }
        html += "</ul>\n";
        for (const std::string& file : fileLinks[static_cast<std::size_t>(i)]) {
            const std::string link = linkTo(page, file);
            // The visible texts name no path: the scanner would take a bare
            // "media/f00.jpg" for a link relative to this page.
            const std::string label = fs::path(file).stem().string();
            if (file.ends_with(".zip") || file.size() % 2 == 0) {
                html += "<p><a href=\"" + link + "\">" + label + "</a></p>\n";
            } else {
                html += "<p><img src=\"" + link + "\" alt=\"" + label + "\"></p>\n";
            }
        }
        html += "</body>\n</html>\n";
        site[page] = std::move(html);
    }
    return site;
}

// The names of the regular files directly in `dir` that `keep` accepts.
std::vector<std::string> FilesIn(const fs::path& dir,
                                 const std::function<bool(const std::string&)>& keep) {
    std::vector<std::string> names;
    std::error_code ec;
    for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        if (it->is_regular_file() && keep(it->path().filename().string())) {
            names.push_back(it->path().filename().string());
        }
    }
    return names;
}

// The crawl's state file in the home directory: the one named after the site,
// else "Save.dat"; empty when there is none yet.
fs::path FindStateFile(const fs::path& home) {
    const auto named = FilesIn(home, [](const std::string& n) { return n.ends_with(".sav"); });
    if (!named.empty()) {
        return home / named.front();
    }
    return fs::is_regular_file(home / "Save.dat") ? home / "Save.dat" : fs::path();
}

// Files whose name says a load set the state file aside as unreadable.
std::vector<std::string> QuarantinedFiles(const fs::path& home) {
    return FilesIn(home, [](const std::string& n) { return n.ends_with(".bad"); });
}

struct StateCheck {
    bool needsRecovery = false;  // a load would set the file aside and fall back on the backup
    std::string fault;           // empty when the file is sound
    int visitedTwice = 0;        // visited entries that repeat an earlier one
};

// Reads a state file as a load does, and checks that it holds only URLs of
// the site and that writing its lists again gives the same bytes (nothing cut
// off, nothing left over).
StateCheck CheckStateFile(const std::string& bytes, const std::string& site) {
    StateCheck check;
    auto fail = [&check](StateRead read, const std::string& where) {
        check.needsRecovery = read == StateRead::Corrupt;
        check.fault = where + (read == StateRead::Corrupt       ? ": corrupt"
                               : read == StateRead::End         ? ": file ends early"
                               : read == StateRead::BaseTooLong ? ": base URL too long"
                                                                : "");
        return check;
    };
    StateFileReader reader(bytes);
    StateRead read = reader.ReadHeader();
    if (read != StateRead::Ok) {
        return fail(read, "header");
    }
    if (reader.Version() != kStateFileVersion) {
        check.fault = "version " + std::to_string(reader.Version());
        return check;
    }
    std::string again;
    AppendStateHeader(again);
    AppendStateCount(again, reader.PageCount());
    std::string foreign;
    // The start page queued as a file has lost its final '/'.
    auto note = [&](const std::string& url) {
        if (!url.starts_with(site) && url + "/" != site && foreign.empty()) {
            foreign = url;
        }
    };
    for (std::int32_t i = 0; i < reader.PageCount(); ++i) {
        UrlRecord record;
        if ((read = reader.NextPage(&record)) != StateRead::Ok) {
            return fail(read, "page " + std::to_string(i));
        }
        note(record.url);
        AppendStatePageRecord(again, record);
    }
    // The visited list, then the file list: a count and that many URLs each.
    for (const bool visitedList : {true, false}) {
        const std::string list = visitedList ? "visited " : "file ";
        std::int32_t count = 0;
        if ((read = reader.ReadCount(&count)) != StateRead::Ok) {
            return fail(read, list + "count");
        }
        AppendStateCount(again, count);
        std::set<std::string> seen;
        for (std::int32_t i = 0; i < count; ++i) {
            std::string url;
            read = visitedList ? reader.NextVisited(&url) : reader.NextFileUrl(&url);
            if (read != StateRead::Ok) {
                return fail(read, list + std::to_string(i));
            }
            note(url);
            AppendStateUrl(again, url);
            check.visitedTwice += visitedList && !seen.insert(url).second ? 1 : 0;
        }
    }
    if (!foreign.empty()) {
        check.fault = "a URL that is not the site's: " + foreign;
    } else if (again != bytes) {
        check.fault = "the lists take " + std::to_string(again.size()) + " of its " +
                      std::to_string(bytes.size()) + " bytes";
    }
    return check;
}

// Makes "load.cfg" name `stateFile`. A kill can come before the program first
// writes it, or (after a crawl started afresh) leave it naming an older file.
void PointAt(const fs::path& home, const fs::path& stateFile) {
    const std::string line = "SAVE_FILE=" + stateFile.string() + "\n";
    if (ReadWholeFile(home / "load.cfg") != line) {
        EXPECT_TRUE(WriteWholeFile(home / "load.cfg", line));
    }
}

// Keeps a copy of a state file that failed its check next to the test
// program, where it outlives the temporary home directory.
std::string KeepEvidence(const fs::path& stateFile, int run) {
    const fs::path dir = fs::path(kCli).parent_path() / "crash-resume-evidence";
    std::error_code ec;
    fs::create_directories(dir, ec);
    const fs::path copy =
        dir / ("run-" + std::to_string(run) + "-" + stateFile.filename().string());
    fs::copy_file(stateFile, copy, fs::copy_options::overwrite_existing, ec);
    return ec ? "(not kept: " + ec.message() + ")" : copy.string();
}

TEST(CrashResume, KilledCrawlsResumeToTheWholeSite) {
    if (NginxServer::FindBinary().empty()) {
        GTEST_SKIP() << "nginx is not installed (scripts/setup.sh installs it)";
    }
    TempDir root;
    const std::map<std::string, std::string> site = MakeSite();
    for (const auto& [name, bytes] : site) {
        ASSERT_TRUE(WriteWholeFile(root / name, bytes)) << name;
    }
    NginxServer server(root.path(), std::string(kServerConfig));
    ASSERT_TRUE(server.Running()) << server.Error();
    const std::string prefix = "http://127.0.0.1:" + std::to_string(server.HttpPort()) + "/";

    // The program runs through env, which sets the save interval for it.
    TempDir home;
    std::vector<std::string> common = {"WEBGRUBBLER_SAVE_INTERVAL_MS=30", kCli};
    for (const std::string& arg : DomainCrawlArgs(home.path())) {
        common.push_back(arg);
    }
    common.insert(common.end(), {"--set", "SAVE_EVERY_5=1"});
    // The first run starts from the address; every later one loads the state
    // file, once there is one.
    auto startNextRun = [&] {
        std::vector<std::string> args = common;
        const fs::path state = FindStateFile(home.path());
        if (state.empty()) {
            args.push_back(prefix);
        } else {
            PointAt(home.path(), state);
            args.push_back("--load");
        }
        return std::make_unique<ChildProcess>("/usr/bin/env", args);
    };

    std::mt19937 random(20240611);
    int runs = 0;
    int kills = 0;
    int recoveries = 0;
    int killsDuringSave = 0;  // kills that left a half-written state file behind
    int visitedTwice = 0;
    std::size_t unfinishedWrites = 0;
    bool hadStateFile = false;
    while (kills < kKills && runs < kMaxKillRuns) {
        ++runs;
        const auto cli = startNextRun();
        ASSERT_TRUE(cli->Started());
        std::this_thread::sleep_for(
            std::chrono::milliseconds(Between(random, kMinRunMs, kMaxRunMs)));
        cli->Signal(SIGKILL);
        const int status = cli->WaitExit(30000);
        if (status == 128 + SIGKILL) {
            ++kills;
        } else {
            // The crawl (or what was left of it) ended before the kill.
            EXPECT_EQ(status, 0) << "run " << runs << ":\n" << cli->Output();
        }

        const fs::path state = FindStateFile(home.path());
        if (state.empty()) {
            EXPECT_FALSE(hadStateFile) << "the state file is gone after run " << runs;
        } else {
            hadStateFile = true;
            // Leftovers of saves that a kill interrupted: the temporary files
            // that a save fills before it renames them over the state file.
            const std::string tmp = state.filename().string() + ".tmp";
            const std::size_t writes = FilesIn(home.path(), [&](const std::string& n) {
                                           return n.starts_with(tmp);
                                       }).size();
            killsDuringSave += writes > unfinishedWrites ? 1 : 0;
            unfinishedWrites = writes;
            const StateCheck check = CheckStateFile(ReadWholeFile(state), prefix);
            recoveries += check.needsRecovery ? 1 : 0;
            visitedTwice = check.visitedTwice;
            EXPECT_EQ(check.fault, "") << state.filename() << " after run " << runs << " (status "
                                       << status << "): kept as " << KeepEvidence(state, runs);
        }
        EXPECT_EQ(QuarantinedFiles(home.path()), std::vector<std::string>{})
            << "after run " << runs << ":\n"
            << cli->Output();
    }
    EXPECT_GE(kills, kKills) << "the crawl ended too soon to be killed often enough";
    EXPECT_EQ(recoveries, 0);
    RecordProperty("kills", kills);
    RecordProperty("killsDuringSave", killsDuringSave);

    // The rest of the crawl, undisturbed. A run that finds nothing left to do
    // also ends with 0.
    bool finished = false;
    std::string lastOutput;
    for (int i = 0; i < kMaxFinishRuns && !finished; ++i) {
        const auto cli = startNextRun();
        ASSERT_TRUE(cli->Started());
        finished = cli->WaitExit(kFinishTimeoutMs) == 0;
        lastOutput = cli->Output();
    }
    ASSERT_TRUE(finished) << lastOutput;
    EXPECT_EQ(QuarantinedFiles(home.path()), std::vector<std::string>{});

    const fs::path downloads = home / "Downloads";
    std::set<std::string> expected;
    for (const auto& [name, bytes] : site) {
        const std::string saved = "127_0_0_1/" + name;
        expected.insert(saved);
        EXPECT_EQ(CompareSaved(downloads / saved, bytes), "") << saved;
    }
    EXPECT_EQ(UnexpectedFiles(downloads, expected), std::set<std::string>{})
        << "files that are not the site's";
    // A page scanned again after a resume is visited once, and a save cut
    // short leaves no temporary copy behind once the next save ran.
    EXPECT_EQ(visitedTwice, 0);
    EXPECT_EQ(
        FilesIn(home.path(), [](const std::string& n) { return n.find(".sav.tmp") != n.npos; }),
        std::vector<std::string>{});
}

}  // namespace
}  // namespace wg::test
