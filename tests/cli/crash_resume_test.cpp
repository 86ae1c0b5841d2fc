// Kills the console program with SIGKILL again and again in the middle of a
// crawl, while it saves its state file every few milliseconds, so that some
// kills land in the middle of a save. After every kill the state file on disk
// must read whole, as a load would read it, with nothing left over. Then the
// crawl is resumed to its end, and the download directory must hold every
// page and file of the site byte for byte, and nothing else.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

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
// bodies go out in 4 KB pieces at 200 KB/s per connection, so that the crawl
// lasts over many kills and a kill often finds a download half done.
constexpr std::string_view kServerConfig =
    "types { text/html html; image/png png; image/jpeg jpg; application/zip zip; }\n"
    "sendfile off;\n"
    "sendfile_max_chunk 4k;\n"
    "limit_rate 200k;\n";

// A fixed linear congruential generator: the same site and the same kill
// times on every run.
class Sequence {
public:
    explicit Sequence(std::uint64_t seed) : state_(seed) {}
    std::uint32_t Next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(state_ >> 33);
    }
    int Between(int low, int high) {  // inclusive
        return low + static_cast<int>(Next() % static_cast<std::uint32_t>(high - low + 1));
    }

private:
    std::uint64_t state_;
};

// The path of `to` as a link from a page at `from`; both are relative to the
// site's root with '/' between directories.
std::string RelativeLink(const std::string& from, const std::string& to) {
    auto dirsOf = [](const std::string& path) {
        std::vector<std::string> dirs;
        std::size_t start = 0;
        for (std::size_t slash; (slash = path.find('/', start)) != std::string::npos;) {
            dirs.push_back(path.substr(start, slash - start));
            start = slash + 1;
        }
        return dirs;
    };
    const std::vector<std::string> fromDirs = dirsOf(from);
    const std::vector<std::string> toDirs = dirsOf(to);
    std::size_t common = 0;
    while (common < fromDirs.size() && common < toDirs.size() &&
           fromDirs[common] == toDirs[common]) {
        ++common;
    }
    std::string link;
    for (std::size_t i = common; i < fromDirs.size(); ++i) {
        link += "../";
    }
    for (std::size_t i = common; i < toDirs.size(); ++i) {
        link += toDirs[i] + "/";
    }
    return link + to.substr(to.rfind('/') + 1);
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
    Sequence random(0x5EED1234);

    std::vector<std::string> pages{"index.html"};
    for (int i = 1; i < kPages; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%sp%03d.html", kPageDirs[i % 3], i);
        pages.emplace_back(name);
    }
    std::map<std::string, std::string> site;
    std::vector<std::vector<std::string>> fileLinks(kPages);
    for (int j = 0; j < kFiles; ++j) {
        char name[32];
        std::snprintf(name, sizeof name, "%sf%02d%s", kFileDirs[j % 3], j, kExtensions[j % 3]);
        const std::size_t size = static_cast<std::size_t>(random.Between(5 * 1024, 60 * 1024));
        std::string bytes(size, '\0');
        const std::uint32_t salt = random.Next();
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
            fileLinks[static_cast<std::size_t>(random.Between(0, kPages - 1))].push_back(name);
        }
    }
    for (int i = 0; i < kPages; ++i) {
        const std::string& page = pages[static_cast<std::size_t>(i)];
        // The next page keeps every page in reach of the start page.
        std::set<int> targets{(i + 1) % kPages, (i + 7) % kPages, (i * 5 + 3) % kPages};
        while (targets.size() < 6) {
            targets.insert(random.Between(0, kPages - 1));
        }
        targets.erase(i);
        std::string html = "<html>\n<head><title>Page " + std::to_string(i) +
                           "</title></head>\n<body>\n<h1>Page " + std::to_string(i) + "</h1>\n<p>";
        const int words = random.Between(300, 1200);
        for (int w = 0; w < words; ++w) {
            html += kWords[random.Next() % 10];
            html += w % 12 == 11 ? ".\n" : " ";
        }
        html += "</p>\n<ul>\n";
        for (const int t : targets) {
            const std::string& target = pages[static_cast<std::size_t>(t)];
            html += "<li><a href=\"" + RelativeLink(page, target) + "\">Page " + std::to_string(t) +
                    "</a></li>\n";
        }
        html += "</ul>\n";
        for (const std::string& file : fileLinks[static_cast<std::size_t>(i)]) {
            const std::string link = RelativeLink(page, file);
            if (file.ends_with(".zip") || file.size() % 2 == 0) {
                html += "<p><a href=\"" + link + "\">" + file + "</a></p>\n";
            } else {
                html += "<p><img src=\"" + link + "\" alt=\"" + file + "\"></p>\n";
            }
        }
        html += "</body>\n</html>\n";
        site[page] = std::move(html);
    }
    return site;
}

bool WriteFile(const fs::path& path, const std::string& bytes) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::vector<fs::path> FilesIn(const fs::path& dir) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        if (it->is_regular_file()) {
            files.push_back(it->path());
        }
    }
    return files;
}

// The crawl's state file in the home directory: the one named after the site,
// else "Save.dat"; empty when there is none yet.
fs::path FindStateFile(const fs::path& home) {
    fs::path found;
    for (const fs::path& file : FilesIn(home)) {
        if (file.extension() == ".sav") {
            return file;
        }
        if (file.filename() == "Save.dat") {
            found = file;
        }
    }
    return found;
}

// Files whose name says a load set the state file aside as unreadable.
std::vector<std::string> QuarantinedFiles(const fs::path& home) {
    std::vector<std::string> names;
    for (const fs::path& file : FilesIn(home)) {
        if (file.extension() == ".bad") {
            names.push_back(file.filename().string());
        }
    }
    return names;
}

// Leftovers of writes that a kill interrupted: the temporary files that a
// save fills before it renames them over the file they replace.
int UnfinishedWrites(const fs::path& home, const std::string& ofName) {
    int count = 0;
    for (const fs::path& file : FilesIn(home)) {
        if (file.filename().string().starts_with(ofName + ".tmp")) {
            ++count;
        }
    }
    return count;
}

// Downloads that a kill cut short, waiting under their partial names.
int PartialDownloads(const fs::path& downloads) {
    int count = 0;
    for (const std::string& file : FilesBelow(downloads)) {
        count += file.ends_with(".wgpart") ? 1 : 0;
    }
    return count;
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
    auto note = [&](const std::string& url) {
        if (!url.starts_with(site) && foreign.empty()) {
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
    std::int32_t count = 0;
    if ((read = reader.ReadCount(&count)) != StateRead::Ok) {
        return fail(read, "visited count");
    }
    AppendStateCount(again, count);
    std::set<std::string> visited;
    for (std::int32_t i = 0; i < count; ++i) {
        std::string url;
        if ((read = reader.NextVisited(&url)) != StateRead::Ok) {
            return fail(read, "visited " + std::to_string(i));
        }
        note(url);
        AppendStateUrl(again, url);
        check.visitedTwice += visited.insert(url).second ? 0 : 1;
    }
    if ((read = reader.ReadCount(&count)) != StateRead::Ok) {
        return fail(read, "file count");
    }
    AppendStateCount(again, count);
    for (std::int32_t i = 0; i < count; ++i) {
        std::string url;
        if ((read = reader.NextFileUrl(&url)) != StateRead::Ok) {
            return fail(read, "file " + std::to_string(i));
        }
        note(url);
        AppendStateUrl(again, url);
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
// Returns true when the file had to be written.
bool PointAt(const fs::path& home, const fs::path& stateFile) {
    const std::string line = "SAVE_FILE=" + stateFile.string() + "\n";
    if (ReadWholeFile(home / "load.cfg") == line) {
        return false;
    }
    EXPECT_TRUE(WriteFile(home / "load.cfg", line));
    return true;
}

// Sets an environment variable for the programs the test starts, and puts it
// back afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name); old != nullptr) {
            old_ = old;
        }
        ::setenv(name, value, 1);
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_.c_str(), old_->c_str(), 1);
        } else {
            ::unsetenv(name_.c_str());
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// Keeps a copy of a state file that failed its check next to the test
// program, where it outlives the temporary home directory.
std::string KeepEvidence(const fs::path& stateFile, int run) {
    const fs::path dir = fs::path(kCli).parent_path() / "crash-resume-evidence";
    std::error_code ec;
    fs::create_directories(dir, ec);
    const fs::path copy =
        dir / ("run-" + std::to_string(run) + "-" + stateFile.filename().string());
    fs::copy_file(stateFile, copy, fs::copy_options::overwrite_existing, ec);
    return ec ? std::string("(not kept: ") + ec.message() + ")" : copy.string();
}

TEST(CrashResume, KilledCrawlsResumeToTheWholeSite) {
    if (NginxServer::FindBinary().empty()) {
        GTEST_SKIP() << "nginx is not installed (scripts/setup.sh installs it)";
    }
    TempDir root;
    const std::map<std::string, std::string> site = MakeSite();
    for (const auto& [name, bytes] : site) {
        ASSERT_TRUE(WriteFile(root / name, bytes)) << name;
    }
    NginxServer server(root.path(), std::string(kServerConfig));
    ASSERT_TRUE(server.Running()) << server.Error();
    const std::string prefix = "http://127.0.0.1:" + std::to_string(server.HttpPort()) + "/";

    TempDir home;
    const ScopedEnv interval("WEBGRUBBLER_SAVE_INTERVAL_MS", "30");
    const std::vector<std::string> common = {"--home",  home.path().string(), "--scope", "domain",
                                             "--types", "web,pictures",       "--no",    "-q",
                                             "--set",   "SAVE_EVERY_5=1"};
    // The first run starts from the address; every later one loads the state
    // file, once there is one.
    int pointerWrites = 0;
    auto argsForNextRun = [&] {
        std::vector<std::string> args = common;
        const fs::path state = FindStateFile(home.path());
        if (state.empty()) {
            args.push_back(prefix);
        } else {
            pointerWrites += PointAt(home.path(), state) ? 1 : 0;
            args.push_back("--load");
        }
        return args;
    };

    Sequence random(20240611);
    int runs = 0;
    int kills = 0;
    int checked = 0;
    int recoveries = 0;
    int finishedBeforeKill = 0;
    int killsDuringSave = 0;  // kills that left a half-written state file behind
    int mostPartials = 0;
    int visitedTwice = 0;
    int unfinishedWrites = 0;
    bool hadStateFile = false;
    while (kills < kKills && runs < kMaxKillRuns) {
        ++runs;
        ChildProcess cli(kCli, argsForNextRun());
        ASSERT_TRUE(cli.Started());
        std::this_thread::sleep_for(
            std::chrono::milliseconds(random.Between(kMinRunMs, kMaxRunMs)));
        cli.Signal(SIGKILL);
        const int status = cli.WaitExit(30000);
        if (status == 128 + SIGKILL) {
            ++kills;
        } else {
            // The crawl (or what was left of it) ended before the kill.
            EXPECT_EQ(status, 0) << "run " << runs << ":\n" << cli.Output();
            ++finishedBeforeKill;
        }
        mostPartials = std::max(mostPartials, PartialDownloads(home / "Downloads"));

        const fs::path state = FindStateFile(home.path());
        if (state.empty()) {
            EXPECT_FALSE(hadStateFile) << "the state file is gone after run " << runs;
        } else {
            hadStateFile = true;
            ++checked;
            const int writes = UnfinishedWrites(home.path(), state.filename().string());
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
            << cli.Output();
    }
    EXPECT_GE(kills, kKills) << "the crawl ended too soon to be killed often enough";
    EXPECT_EQ(recoveries, 0);

    // The rest of the crawl, undisturbed. A run that finds nothing left to do
    // also ends with 0.
    bool finished = false;
    std::string lastOutput;
    for (int i = 0; i < kMaxFinishRuns && !finished; ++i) {
        ++runs;
        ChildProcess cli(kCli, argsForNextRun());
        ASSERT_TRUE(cli.Started());
        const int status = cli.WaitExit(kFinishTimeoutMs);
        lastOutput = cli.Output();
        finished = status == 0;
    }
    ASSERT_TRUE(finished) << lastOutput;
    EXPECT_EQ(QuarantinedFiles(home.path()), std::vector<std::string>{});

    const fs::path downloads = home / "Downloads";
    std::set<std::string> expected;
    int wrong = 0;
    for (const auto& [name, bytes] : site) {
        const std::string saved = "127_0_0_1/" + name;
        expected.insert(saved);
        if (!fs::is_regular_file(downloads / saved)) {
            ADD_FAILURE() << "not saved: " << saved;
            ++wrong;
        } else if (ReadWholeFile(downloads / saved) != bytes) {
            ADD_FAILURE() << saved << " differs from its source ("
                          << fs::file_size(downloads / saved) << " bytes saved, " << bytes.size()
                          << " served)";
            ++wrong;
        }
    }
    std::set<std::string> extra;
    for (const std::string& file : FilesBelow(downloads)) {
        if (expected.count(file) == 0) {
            extra.insert(file);
        }
    }
    EXPECT_EQ(extra, std::set<std::string>{}) << "files that are not the site's";
    // A page scanned again after a resume is visited once, and a save cut
    // short leaves no temporary copy behind once the next save ran.
    EXPECT_EQ(visitedTwice, 0);
    for (const fs::directory_entry& entry : fs::directory_iterator(home.path())) {
        EXPECT_EQ(entry.path().filename().string().find(".sav.tmp"), std::string::npos)
            << entry.path();
    }

    std::cout << "[ CrashResume ] runs " << runs << ", kills " << kills << " (during a state save "
              << killsDuringSave << "), most partial downloads on disk after a kill "
              << mostPartials << ", runs ended before their kill " << finishedBeforeKill
              << ", state files checked " << checked << ", loads needing recovery " << recoveries
              << ", load.cfg written by the test " << pointerWrites
              << ", repeated visited entries in the last checked state file " << visitedTwice
              << ", site files missing or wrong " << wrong << " of " << site.size() << "\n";
    RecordProperty("kills", kills);
    RecordProperty("stateFilesChecked", checked);
    RecordProperty("recoveries", recoveries);
    RecordProperty("killsDuringSave", killsDuringSave);
}

}  // namespace
}  // namespace wg::test
