// An App in a temporary program directory with fast timings and a scripted port.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <thread>
#include <utility>

#include "app/app.h"
#include "app/crawl_control.h"
#include "app/crawl_fetcher.h"
#include "app/crawl_state_file.h"
#include "app/option_files.h"
#include "platform/socket.h"
#include "support/http_test_server.h"
#include "support/scripted_port.h"
#include "support/test_dirs.h"
#include "util/timing.h"

namespace wg::test {

// Short idle waits, pauses and retries, for an App driven by a test.
inline Timing FastAppTiming() {
    Timing fast;
    fast.mainLoopMs = 2;
    fast.pageIdleMs = 5;
    fast.downloadIdleMs = 5;
    fast.exitWaitMs = 20;
    fast.stopSettleMs = 1;
    fast.finalPauseMs = 1;
    fast.connectRetryMs = 10;
    fast.inProcessPollMs = 2;
    return fast;
}

class AppTest : public ::testing::Test {
protected:
    void TearDown() override {
        StopRunLoop();
        app.reset();
    }

    // An App over `own` port, or over a new scripted one.
    App& MakeApp(bool mainWindow = true, std::unique_ptr<ScriptedPort> own = nullptr) {
        port = own ? std::move(own) : std::make_unique<ScriptedPort>(mainWindow);
        app = std::make_unique<App>(*port);
        app->SetTimings(timing);
        return *app;
    }

    // Initialises the App made last in the test's program directory.
    App& Initialise() {
        InitOptions init;
        init.programDir = dir.path();
        EXPECT_TRUE(app->Initialise(init));
        return *app;
    }

    App& InitApp(bool mainWindow = true) {
        MakeApp(mainWindow);
        return Initialise();
    }

    // Runs the main loop on its own thread, as the front ends run it on theirs.
    void StartRunLoop() {
        runner_ = std::thread([this] { app->Run(); });
    }

    void StopRunLoop() {
        if (!runner_.joinable())
            return;
        if (!app->State().ExitRequested())
            app->Control().RequestExit();
        runner_.join();
    }

    // Joins the main loop once it has ended by itself.
    bool JoinRunLoop(int timeoutMs = 10000) {
        if (!WaitFor([this] { return app->State().ExitRequested(); }, timeoutMs))
            return false;
        runner_.join();
        return true;
    }

    TempDir dir;
    CurrentDirGuard cwd;
    std::unique_ptr<ScriptedPort> port;
    std::unique_ptr<App> app;
    // The timing each App of the test starts with.
    Timing timing = FastAppTiming();

private:
    std::thread runner_;
};

// An App whose workers talk to a test server on loopback: short connect
// pauses and body waits, the probe host on a closed port, a worker slot of the
// test's own.
class NetworkAppTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        timing.connectRetryMs = 5;
        timing.connectTimeoutMs = 2000;
        timing.bodyWaitMs = 300;
        timing.bodyPollMs = 10;
        timing.nonOkBodyWaitMs = 50;
        setenv("WEBGRUBBLER_PROBE_HOST", "127.0.0.1:9", 1);
    }

    // A loopback port nobody listens on.
    static std::uint16_t ClosedPort() {
        int error = 0;
        return platform::ListenSocket::OnLoopback(&error).Port();
    }

    // A slot no worker of the App reaches first.
    const int slot = kTransferSlotCount - 1;
    HttpTestServer server;
};

}  // namespace wg::test
