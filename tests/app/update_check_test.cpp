// The update check against a loopback update server: what each answer of the
// server comes to on the status line, on disk and for the crawl.
#include <openssl/evp.h>
#include <sys/stat.h>

#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/crawl_control.h"
#include "app/crawl_work.h"
#include "app/update_check.h"
#include "app_fixture.h"
#include "platform/files.h"
#include "platform/process.h"

namespace wg::test {
namespace {

const std::string kProgram = "#!/bin/sh\necho new\n";

std::string HexSha256(const std::string& bytes) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), md, &length, EVP_sha256(), nullptr);
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", md[i]);
        hex += pair;
    }
    return hex;
}

Reply NotFound() {
    Reply reply = Reply::Ok("<html>Not Found</html>");
    reply.status = "HTTP/1.0 404 Not Found";
    return reply;
}

class UpdateCheckTest : public NetworkAppTest {
protected:
    void SetUp() override {
        NetworkAppTest::SetUp();
        InitApp();
        setup.servers = {{"127.0.0.1", std::to_string(server.Port())}};
        setup.program = ProgramFilesOf(dir / "bin" / "webgrubbler");
        setup.documentsDir = dir.path();
        setup.retryPauseMs = 1;
        setup.headerTimeoutMs = 2000;
        setup.programLimit = 1 << 20;
        ASSERT_EQ(platform::CreateDirectories(dir / "bin"), 0);
    }

    // A server that offers `version` with a program and its digest.
    void Offer(const std::string& version, Reply program = Reply::Ok(kProgram, "text/plain"),
               std::optional<Reply> digest = std::nullopt) {
        Route("Version1.php", Reply::Ok(version, "text/plain"));
        Route("WebGrubbler.dl", std::move(program));
        Route("WebGrubbler.dl.sha256",
              digest ? *digest : Reply::Ok(HexSha256(kProgram) + "  WebGrubbler.dl\n"));
        Route("Changes.txt", Reply::Ok("changes", "text/plain"));
    }
    void Route(const std::string& name, Reply reply) {
        server.Route("/Grubbler/" + name, std::move(reply));
    }

    bool Asked(const std::string& name) const {
        for (const std::string& head : server.Requests()) {
            if (head.starts_with("GET /Grubbler/" + name + " ") ||
                head.starts_with("GET /Grubbler/" + name + "?")) {
                return true;
            }
        }
        return false;
    }

    // Nothing of an update is installed, the crawl goes on, work is not held.
    void ExpectNothingInstalled() {
        EXPECT_FALSE(platform::PathExists(setup.program.staged));
        EXPECT_FALSE(platform::PathExists(dir / "bin" / "webgrubbler2.part"));
        EXPECT_FALSE(app->State().UpdatePending());
        EXPECT_FALSE(app->State().ExitRequested());
        EXPECT_FALSE(app->State().WorkHeld());
    }

    UpdateSetup setup;
};

TEST_F(UpdateCheckTest, ANewerVersionIsFetchedInstalledAndEndsTheRun) {
    Offer("1.30\r\n");
    CheckForUpdate(*app, setup);
    EXPECT_EQ(port->StatusLine(), "Finished Downloading New Version.");
    EXPECT_TRUE(port->SawStatus("Downloading update..."));
    EXPECT_EQ(ReadWholeFile(setup.program.staged), kProgram);
    EXPECT_TRUE(platform::IsExecutable(setup.program.staged));
    EXPECT_EQ(ReadWholeFile(dir / "Changes.txt"), "changes");
    EXPECT_FALSE(platform::PathExists(dir / "ReadMe.html"));  // missing: not saved, not fatal
    EXPECT_TRUE(app->State().UpdatePending());
    EXPECT_TRUE(app->State().ExitRequested());  // no worker is live
    EXPECT_FALSE(app->State().WorkHeld());
    EXPECT_TRUE(Asked("Version1.php"));
    EXPECT_FALSE(Asked("Version1.txt"));
}

TEST_F(UpdateCheckTest, WithFilesWaitingTheCrawlIsSavedAndEndsAfterTheDownloads) {
    app->Work().AddFile("http://127.0.0.1:9/waiting.zip", true, false);
    Offer("1.30");
    CheckForUpdate(*app, setup);
    EXPECT_TRUE(port->SawStatus("Finished Downloading New Version."));
    EXPECT_TRUE(app->State().ExitAfterThisDownload());
    EXPECT_TRUE(platform::FileExists(app->Paths().stateFile));
    EXPECT_NE(ReadWholeFile(app->Paths().stateFile).find("waiting.zip"), std::string::npos);
}

TEST_F(UpdateCheckTest, VersionAnswersThatInstallNothing) {
    struct Case {
        const char* name;
        std::string version;              // the query's answer
        std::optional<std::string> file;  // the static Version1.txt
        const char* status;
        bool fallback;  // the static file was asked for
    };
    const Case cases[] = {
        {"same version", "1.29", std::nullopt, "You have the latest version.", false},
        {"older version", "1.05\n", std::nullopt, "You have the latest version.", false},
        {"error page, static same", "<html>Oops</html>", "1.29", "You have the latest version.",
         true},
        {"error page, no static", "<html>Oops</html>", std::nullopt, "No newer version found.",
         true},
        // (Which texts are versions: UpdateTexts.VersionTexts.)
        {"empty", "", std::nullopt, "No newer version found.", true},
        {"binary", std::string("\x01\xff\x00\x80", 4), std::string("\xfe\xfe"),
         "No newer version found.", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HttpTestServer fresh;
        setup.servers = {{"127.0.0.1", std::to_string(fresh.Port())}};
        fresh.Route("/Grubbler/Version1.php", Reply::Ok(c.version, "text/plain"));
        fresh.Route("/Grubbler/Version1.txt",
                    c.file ? Reply::Ok(*c.file, "text/plain") : NotFound());
        CheckForUpdate(*app, setup);
        EXPECT_EQ(port->StatusLine(), c.status);
        bool askedStatic = false;
        for (const std::string& head : fresh.Requests()) {
            askedStatic = askedStatic || head.starts_with("GET /Grubbler/Version1.txt ");
        }
        EXPECT_EQ(askedStatic, c.fallback);
        ExpectNothingInstalled();
    }
}

TEST_F(UpdateCheckTest, AnErrorPageFallsBackToTheStaticVersionFile) {
    Offer("<html><body>Internal error</body></html>");
    Route("Version1.txt", Reply::Ok("1.30", "text/plain"));
    CheckForUpdate(*app, setup);
    EXPECT_EQ(port->StatusLine(), "Finished Downloading New Version.");
    EXPECT_TRUE(Asked("Version1.txt"));
    EXPECT_EQ(ReadWholeFile(setup.program.staged), kProgram);
}

TEST_F(UpdateCheckTest, ProgramDownloadsThatInstallNothing) {
    Reply cut = Reply::Ok(kProgram, "text/plain");
    cut.cutAfter = 5;
    Reply stalled = Reply::Ok(kProgram, "text/plain");
    stalled.stallAfter = 5;
    Reply huge = Reply::Ok(kProgram, "text/plain");
    huge.headers = {"Content-Length: 1073741824"};
    Reply endless;  // no length announced, more than the limit
    endless.body = std::string((1 << 20) + 1, 'x');
    Reply trickle = Reply::Ok(kProgram, "text/plain");  // a byte every 100 ms
    trickle.chunkSize = 1;
    trickle.delayMs = 100;
    Reply shortDigest = Reply::Ok(HexSha256(kProgram).substr(1));
    Reply otherDigest = Reply::Ok(HexSha256("another program"));
    struct Case {
        const char* name;
        Reply program;
        std::optional<Reply> digest;
        const char* status;
    };
    const Case cases[] = {
        {"cut", cut, std::nullopt, "The update download was incomplete. Nothing was installed."},
        {"stalled", stalled, std::nullopt,
         "The update download was incomplete. Nothing was installed."},
        {"past the check's time", trickle, std::nullopt,
         "The update download was incomplete. Nothing was installed."},
        {"not found", NotFound(), std::nullopt, "No newer version found."},
        {"1 GB announced", huge, std::nullopt,
         "The downloaded update is larger than a program can be. Nothing was installed."},
        {"too long", endless, std::nullopt,
         "The downloaded update is larger than a program can be. Nothing was installed."},
        {"wrong digest", Reply::Ok(kProgram, "text/plain"), otherDigest,
         "The downloaded update does not match its published checksum. Nothing was installed."},
        {"missing digest", Reply::Ok(kProgram, "text/plain"), NotFound(),
         "The update's checksum (WebGrubbler.dl.sha256) could not be fetched. Nothing was "
         "installed."},
        {"short digest", Reply::Ok(kProgram, "text/plain"), shortDigest,
         "The update's checksum (WebGrubbler.dl.sha256) is not valid. Nothing was installed."},
    };
    setup.budgetMs = 1000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Offer("1.30", c.program, c.digest);
        CheckForUpdate(*app, setup);
        EXPECT_EQ(port->StatusLine(), c.status);
        ExpectNothingInstalled();
    }
}

TEST_F(UpdateCheckTest, ServersThatCannotBeReached) {
    // No server configured, a name that does not resolve.
    for (const auto& servers : {std::vector<platform::HostPort>{},
                                std::vector<platform::HostPort>{{"update.invalid", "80"}}}) {
        setup.servers = servers;
        CheckForUpdate(*app, setup);
        EXPECT_EQ(port->StatusLine(), "Failed to connect to update site.");
    }
    // A name that does not resolve gives way to the alternate server, which
    // also serves the static fallback.
    Offer("<html>Oops</html>");
    Route("Version1.txt", Reply::Ok("1.29", "text/plain"));
    setup.servers = {{"update.invalid", "80"}, {"127.0.0.1", std::to_string(server.Port())}};
    CheckForUpdate(*app, setup);
    EXPECT_EQ(port->StatusLine(), "You have the latest version.");
    // Nobody listens: three tries, then the check gives up.
    setup.servers = {{"127.0.0.1", std::to_string(ClosedPort())}};
    CheckForUpdate(*app, setup);
    EXPECT_EQ(port->StatusLine(), "Cannot connect to server. Please try again later.");
    EXPECT_TRUE(port->SawStatus("Failed to connect. Retrying...."));
    ExpectNothingInstalled();
}

TEST_F(UpdateCheckTest, AnExitUnderWayCutsTheCheckShort) {
    Offer("1.30");
    app->Control().RequestExit();
    CheckForUpdate(*app, setup);
    EXPECT_EQ(port->StatusLine(), "No newer version found.");
    EXPECT_FALSE(platform::PathExists(setup.program.staged));
    EXPECT_FALSE(app->State().UpdatePending());
    EXPECT_FALSE(app->State().WorkHeld());
}

TEST_F(UpdateCheckTest, AProgramThatCannotBeReplacedIsOnlyReported) {
    Offer("1.30");
    setup.program = ProgramFilesOf(dir / "read-only" / "webgrubbler");  // not even there
    CheckForUpdate(*app, setup);
    EXPECT_EQ(port->StatusLine(), "Version 1.30 is available, but the installed program in " +
                                      (dir / "read-only").string() +
                                      " cannot be replaced from here: update it the way it was "
                                      "installed.");
    EXPECT_FALSE(Asked("WebGrubbler.dl"));
    EXPECT_FALSE(platform::PathExists(dir / "Changes.txt"));
    ExpectNothingInstalled();
}

}  // namespace
}  // namespace wg::test
