// The console program against servers and disks that fail it: each run must
// end with the exit status and summary that say what happened, and leave under
// a final name only files that arrived whole.
#include <gtest/gtest.h>
#include <openssl/ssl.h>
#include <signal.h>
#include <sys/mount.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket.h"
#include "support/child_process.h"
#include "support/http_test_server.h"
#include "support/nginx_server.h"
#include "support/test_certificates.h"
#include "support/test_dirs.h"

namespace wg::test {
namespace {

namespace fs = std::filesystem;

const std::string kCli = WG_CLI_PATH;

std::string Picture(std::size_t size, char seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(seed + static_cast<char>(i * 7 % 251));
    }
    return bytes;
}

std::string PageLinking(const std::vector<std::string>& files) {
    std::string html = "<html><body>";
    for (const std::string& f : files) {
        html.append("<a href=\"").append(f).append("\">").append(f).append("</a>\n");
    }
    return html + "</body></html>";
}

std::string SummaryLine(const std::string& out) {
    const std::size_t at = out.rfind("Summary: ");
    return at == std::string::npos ? std::string() : out.substr(at, out.find('\n', at) - at);
}

// Every file under `dir` with a final name holds exactly what the server
// has for it; partial files may stay. Returns the final names found.
std::vector<std::string> ExpectOnlyWholeFiles(const fs::path& dir,
                                              const std::map<std::string, std::string>& served) {
    std::vector<std::string> names;
    if (!fs::exists(dir)) {
        return names;
    }
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        if (!e.is_regular_file() || name.ends_with(".wgpart") || name == "index.html") {
            continue;
        }
        names.push_back(name);
        const auto it = served.find(name);
        if (it == served.end()) {
            ADD_FAILURE() << "unexpected file " << e.path();
        } else {
            EXPECT_EQ(ReadWholeFile(e.path()), it->second) << e.path() << " is not whole";
        }
    }
    return names;
}

struct FailureCase {
    const char* name;
    // Routes "/" and its files; returns what each file should hold when whole.
    std::function<std::map<std::string, std::string>(HttpTestServer&)> serve;
    std::vector<std::string> args;
    int exitStatus;
    const char* summary;                  // a part of the summary line
    std::vector<std::string> savedFiles;  // the final names on disk, sorted
    const char* requestPart = "";         // a part of some request the server got
    int fileSizeLimitKb = 0;              // the shell's file-size limit; 0: none
    const char* outputPart = "";          // a part of the program's output
};

void PrintTo(const FailureCase& c, std::ostream* out) {
    *out << c.name;
}

class CrawlFailures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(CrawlFailures, EndWithAnHonestStatusSummaryAndDisk) {
    const FailureCase& c = GetParam();
    HttpTestServer server;
    ASSERT_TRUE(server.Running());
    const std::map<std::string, std::string> served = c.serve(server);
    TempDir home;
    std::vector<std::string> args = {"--home", home.path().string(), "--no", "--types", "pictures"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.push_back(server.Url("/"));
    std::string out;
    if (c.fileSizeLimitKb > 0) {
        args.insert(
            args.begin(),
            {"-c", "ulimit -f " + std::to_string(c.fileSizeLimitKb) + " && exec \"$0\" \"$@\"",
             kCli});
        EXPECT_EQ(RunProgram("/bin/sh", args, &out), c.exitStatus) << out;
    } else {
        EXPECT_EQ(RunProgram(kCli, args, &out), c.exitStatus) << out;
    }
    EXPECT_NE(SummaryLine(out).find(c.summary), std::string::npos) << out;
    EXPECT_NE(out.find(c.outputPart), std::string::npos) << out;
    std::vector<std::string> names = ExpectOnlyWholeFiles(home.path() / "Downloads", served);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, c.savedFiles) << out;
    bool asked = *c.requestPart == '\0';
    for (const std::string& head : server.Requests()) {
        asked = asked || head.find(c.requestPart) != std::string::npos;
    }
    EXPECT_TRUE(asked) << c.requestPart << "\n" << out;
}

std::map<std::string, std::string> NotFoundBesideAGoodFile(HttpTestServer& s) {
    const std::string good = Picture(3000, 'g');
    s.Route("/", Reply::Ok(PageLinking({"gone.jpg", "good.jpg"})));
    s.Route("/good.jpg", Reply::Ok(good, "image/jpeg"));
    return {{"good.jpg", good}};
}

std::map<std::string, std::string> CutThenResumed(HttpTestServer& s) {
    const std::string body = Picture(1000, 'c');
    Reply cut = Reply::Ok(body, "image/jpeg");
    cut.cutAfter = 400;
    cut.honourRange = true;  // the resume asks for the rest
    s.Route("/", Reply::Ok(PageLinking({"cut.jpg"})));
    s.Route("/cut.jpg", cut);
    return {{"cut.jpg", body}};
}

std::map<std::string, std::string> CutForGood(HttpTestServer& s) {
    Reply cut = Reply::Ok(Picture(1000, 'c'), "image/jpeg");
    cut.cutAfter = 400;  // every answer, a resume's too, stops there
    s.Route("/", Reply::Ok(PageLinking({"cut.jpg"})));
    s.Route("/cut.jpg", cut);
    return {};
}

std::map<std::string, std::string> NotHttp(HttpTestServer& s) {
    Reply garbage = Reply::Ok(Picture(500, 'x'), "image/jpeg");
    garbage.status = "hello";
    s.Route("/", Reply::Ok(PageLinking({"odd.jpg"})));
    s.Route("/odd.jpg", garbage);
    return {};
}

std::map<std::string, std::string> HeaderTrickle(HttpTestServer& s) {
    // The whole answer goes out as the "body" of an empty head, a byte at a
    // time: the header block never ends in time.
    Reply slow;
    slow.status.clear();
    slow.lineEnd.clear();
    slow.body =
        "HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\nX-Padding: " + std::string(40, 'p') +
        "\r\nContent-Length: 5\r\n\r\nabcde";
    slow.chunkSize = 1;
    slow.delayMs = 300;
    s.Route("/", Reply::Ok(PageLinking({"slow.jpg"})));
    s.Route("/slow.jpg", slow);
    return {};
}

// A file larger than the process may write (the shell's file-size limit)
// fails as a disk failure; the small one beside it is saved whole.
std::map<std::string, std::string> BeyondTheFileSizeLimit(HttpTestServer& s) {
    const std::string small = Picture(2000, 's');
    s.Route("/", Reply::Ok(PageLinking({"big.jpg", "small.jpg"})));
    s.Route("/big.jpg", Reply::Ok(Picture(200000, 'b'), "image/jpeg"));
    s.Route("/small.jpg", Reply::Ok(small, "image/jpeg"));
    return {{"small.jpg", small}};
}

std::map<std::string, std::string> NameTooLong(HttpTestServer& s) {
    // A name the directory cannot hold (more than 255 bytes), saved flat.
    const std::string name = std::string(252, 'n') + ".jpg";
    s.Route("/", Reply::Ok(PageLinking({name})));
    s.Route("/" + name, Reply::Ok(Picture(500, 'n'), "image/jpeg"));
    return {};
}

INSTANTIATE_TEST_SUITE_P(
    Servers, CrawlFailures,
    ::testing::Values(
        FailureCase{
            "NotFound", NotFoundBesideAGoodFile, {}, 3, "1 failed (HTTP status 1)", {"good.jpg"}},
        FailureCase{"CutThenResumed",
                    CutThenResumed,
                    {},
                    0,
                    "none failed",
                    {"cut.jpg"},
                    "Range: bytes=400-"},
        FailureCase{"CutForGood", CutForGood, {}, 3, "1 failed (cut 1)", {}},
        FailureCase{"NotHttp", NotHttp, {}, 3, "1 failed (not HTTP 1)", {}},
        FailureCase{"NameTooLong",
                    NameTooLong,
                    {"--set", "DOWNLOAD_DIR_STRUCTURE=2"},
                    3,
                    "1 failed (disk 1)",
                    {}},
        FailureCase{
            "HeaderTrickle", HeaderTrickle, {"--set", "HEADER_TIMEOUT=2"}, 3, "timeout 1", {}},
        FailureCase{"FileSizeLimit",
                    BeyondTheFileSizeLimit,
                    {},
                    3,
                    "1 failed (disk 1)",
                    {"small.jpg"},
                    "",
                    64,
                    "File too large"}),
    [](const auto& info) { return std::string(info.param.name); });

// Fetches one https file with the console program into `home`.
int FetchOverHttps(const TempDir& home, std::uint16_t port, const std::vector<std::string>& extra,
                   std::string* out) {
    std::vector<std::string> args = {"--home", home.path().string(), "--no", "--scope", "file"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back("https://127.0.0.1:" + std::to_string(port) + "/pic.jpg");
    return RunProgram(kCli, args, out);
}

// nginx serving one picture over https, with a certificate from a CA of the test's own.
struct HttpsPictureSite {
    TempDir root;
    std::string picture = Picture(3000, 't');
    bool written =
        static_cast<bool>(std::ofstream(root.path() / "pic.jpg", std::ios::binary) << picture);
    NginxServer nginx{root.path()};
};

const fs::path kSavedPicture = fs::path("Downloads") / "127_0_0_1" / "pic.jpg";

// The program's trust store does not know the test's own CA: the fetch is a
// TLS failure that saves nothing, until CA_FILE names that CA.
TEST(CrawlFailures, AServerOfAPrivateCaIsTrustedOnlyWithItsCaFile) {
    if (NginxServer::FindBinary().empty()) {
        GTEST_SKIP() << "nginx is not installed (scripts/setup.sh installs it)";
    }
    HttpsPictureSite site;
    ASSERT_TRUE(site.written && site.nginx.Running()) << site.nginx.Error();
    TempDir home;
    std::string out;
    EXPECT_EQ(FetchOverHttps(home, site.nginx.HttpsPort(), {}, &out), 3) << out;
    EXPECT_NE(SummaryLine(out).find("1 failed (TLS 1)"), std::string::npos) << out;
    EXPECT_NE(out.find("certificate was refused: unable to get local issuer"), std::string::npos)
        << out;
    EXPECT_FALSE(fs::exists(home.path() / kSavedPicture));

    TempDir trusting;
    EXPECT_EQ(FetchOverHttps(trusting, site.nginx.HttpsPort(),
                             {"--set", "CA_FILE=" + site.nginx.CaFile().string()}, &out),
              0)
        << out;
    EXPECT_EQ(ReadWholeFile(trusting.path() / kSavedPicture), site.picture) << out;
}

// A TLS server on loopback with a certificate for another host name, from a CA
// the test writes out; it goes no further than the handshake. Every connection
// has a thread of its own, so one the client leaves idle holds up no other.
class OtherNameServer {
public:
    OtherNameServer() {
        signal(SIGPIPE, SIG_IGN);  // the client hangs up in the handshake: no signal for that
        SSL_CTX_use_certificate(ctx_, certs_.otherName.get());
        SSL_CTX_use_PrivateKey(ctx_, certs_.key.get());
        accepter_ = std::thread([this] {
            while (!stop_) {
                platform::Socket client = listener_.Accept(50, nullptr);
                if (client.Valid()) {
                    handshakes_.emplace_back([this, socket = std::move(client)] {
                        SSL* ssl = SSL_new(ctx_);
                        SSL_set_fd(ssl, socket.Fd());
                        SSL_accept(ssl);
                        SSL_free(ssl);
                    });
                }
            }
        });
    }
    ~OtherNameServer() {  // the program has ended: every handshake is over
        stop_ = true;
        accepter_.join();
        for (std::thread& t : handshakes_) {
            t.join();
        }
        SSL_CTX_free(ctx_);
    }
    OtherNameServer(const OtherNameServer&) = delete;
    OtherNameServer& operator=(const OtherNameServer&) = delete;

    bool Running() const { return written_ && listener_.Valid(); }
    std::uint16_t Port() const { return listener_.Port(); }
    const fs::path& CaFile() const { return pem_.ca; }

private:
    TestCertificates certs_;
    TempDir dir_;
    PemFiles pem_;
    bool written_ = WritePemFiles(dir_.path(), certs_.otherName.get(), certs_.key.get(),
                                  certs_.ca.get(), &pem_);
    SSL_CTX* ctx_ = SSL_CTX_new(TLS_server_method());
    platform::ListenSocket listener_ = platform::ListenSocket::OnLoopback(nullptr);
    std::atomic<bool> stop_{false};
    std::vector<std::thread> handshakes_;  // only the accepting thread adds to it
    std::thread accepter_;
};

TEST(CrawlFailures, CertificateForAnotherNameIsRefusedThoughItsCaIsTrusted) {
    OtherNameServer server;
    ASSERT_TRUE(server.Running());
    TempDir home;
    std::string out;
    EXPECT_EQ(
        FetchOverHttps(home, server.Port(), {"--set", "CA_FILE=" + server.CaFile().string()}, &out),
        3)
        << out;
    EXPECT_NE(SummaryLine(out).find("1 failed (TLS 1)"), std::string::npos) << out;
    EXPECT_NE(out.find("certificate was refused: IP address mismatch"), std::string::npos) << out;
}

// A tmpfs of its own, unmounted at the end.
class SmallFileSystem {
public:
    explicit SmallFileSystem(const char* options)
        : mounted_(::mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, options) == 0) {}
    ~SmallFileSystem() {
        if (mounted_) {
            (void)::umount2(dir_.path().c_str(), MNT_DETACH);
        }
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool Mounted() const { return mounted_; }
    const fs::path& path() const { return dir_.path(); }
    bool Remount(unsigned long flags, const char* options) {
        return ::mount("tmpfs", dir_.path().c_str(), "tmpfs", MS_REMOUNT | flags, options) == 0;
    }

private:
    TempDir dir_;
    bool mounted_;
};

// A download directory on a small file system that fills up: the crawl stops
// once with the queues kept, nothing cut stays under a final name, and a
// resume after the disk has grown completes the mirror.
TEST(CrawlFailures, FullDiskKeepsTheQueuesAndTheResumeCompletesTheMirror) {
    SmallFileSystem small("size=256k");
    if (!small.Mounted()) {
        GTEST_SKIP() << "mounting a small file system needs root (CI runs as root)";
    }

    HttpTestServer server;
    std::map<std::string, std::string> served;
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i) {
        const std::string name = "p" + std::to_string(i) + ".jpg";
        served[name] = Picture(20000, static_cast<char>('a' + i));
        names.push_back(name);
        server.Route("/" + name, Reply::Ok(served[name], "image/jpeg"));
    }
    server.Route("/", Reply::Ok(PageLinking(names)));
    TempDir home;
    const std::vector<std::string> common = {
        "--home",  home.path().string(),
        "--no",    "--save-on-exit",
        "--set",   "SAVEPATH=" + (small.path() / "dl").string(),
        "--types", "pictures"};
    std::vector<std::string> first = common;
    first.push_back(server.Url("/"));
    std::string out;
    EXPECT_EQ(RunProgram(kCli, first, &out), 3) << out;
    EXPECT_NE(out.find("Disk full: "), std::string::npos) << out;
    EXPECT_NE(SummaryLine(out).find("disk "), std::string::npos) << out;
    const std::vector<std::string> before = ExpectOnlyWholeFiles(small.path() / "dl", served);
    EXPECT_LT(before.size(), names.size());

    ASSERT_TRUE(small.Remount(0, "size=4m"));
    std::vector<std::string> resume = common;
    resume.push_back("--load");
    EXPECT_EQ(RunProgram(kCli, resume, &out), 0) << out;
    std::vector<std::string> after = ExpectOnlyWholeFiles(small.path() / "dl", served);
    std::sort(after.begin(), after.end());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(after, names) << out;
}

// A download directory that has become read-only stops the crawl as a full
// disk does, and the queues it kept are in the state file.
TEST(CrawlFailures, ReadOnlyDownloadDirectoryStopsTheCrawl) {
    SmallFileSystem small("size=1m");
    if (!small.Mounted()) {
        GTEST_SKIP() << "mounting a small file system needs root (CI runs as root)";
    }
    fs::create_directories(small.path() / "dl");
    ASSERT_TRUE(small.Remount(MS_RDONLY, "size=1m"));

    HttpTestServer server;
    server.Route("/", Reply::Ok(PageLinking({"a.jpg", "b.jpg"})));
    server.Route("/a.jpg", Reply::Ok(Picture(3000, 'a'), "image/jpeg"));
    server.Route("/b.jpg", Reply::Ok(Picture(3000, 'b'), "image/jpeg"));
    TempDir home;
    std::string out;
    EXPECT_EQ(RunProgram(kCli,
                         {"--home", home.path().string(), "--no", "--save-on-exit", "--set",
                          "SAVEPATH=" + (small.path() / "dl").string(), "--types", "pictures",
                          server.Url("/")},
                         &out),
              3)
        << out;
    EXPECT_NE(out.find("Disk full: "), std::string::npos) << out;
    EXPECT_NE(out.find("Read-only file system"), std::string::npos) << out;
    bool stateKept = false;
    for (const fs::directory_entry& e : fs::directory_iterator(home.path())) {
        stateKept = stateKept || (e.path().extension() == ".sav" &&
                                  ReadWholeFile(e.path()).find("b.jpg") != std::string::npos);
    }
    EXPECT_TRUE(stateKept) << out;
}

}  // namespace
}  // namespace wg::test
