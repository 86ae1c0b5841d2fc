// An App in a temporary program directory with fast timings and a scripted port.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "app/app.h"
#include "support/scripted_port.h"
#include "support/test_dirs.h"
#include "util/timing.h"

namespace wg::test {

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = CurrentTiming();
        Timing fast;
        fast.mainLoopMs = 2;
        fast.pageIdleMs = 5;
        fast.downloadIdleMs = 5;
        fast.exitWaitMs = 20;
        fast.stopSettleMs = 1;
        fast.finalPauseMs = 1;
        fast.connectRetryMs = 10;
        fast.inProcessPollMs = 2;
        SetTiming(fast);
    }

    void TearDown() override {
        StopRunLoop();
        app.reset();
        SetTiming(saved_);
    }

    App& MakeApp(bool mainWindow = true) {
        port = std::make_unique<ScriptedPort>(mainWindow);
        app = std::make_unique<App>(*port);
        return *app;
    }

    App& InitApp(bool mainWindow = true) {
        MakeApp(mainWindow);
        InitOptions init;
        init.programDir = dir.path();
        EXPECT_TRUE(app->Initialise(init));
        return *app;
    }

    // Runs the main loop on its own thread, as the front ends run it on theirs.
    void StartRunLoop() {
        runner_ = std::thread([this] { app->Run(); });
    }

    void StopRunLoop() {
        if (runner_.joinable()) {
            if (!app->m_bExitRequested.load()) {
                app->RequestExit();
            }
            runner_.join();
        }
    }

    // Joins the main loop once it has ended by itself.
    bool JoinRunLoop(int timeoutMs = 10000) {
        if (!WaitFor([this] { return app->m_bExitRequested.load(); }, timeoutMs)) {
            return false;
        }
        runner_.join();
        return true;
    }

    TempDir dir;
    CurrentDirGuard cwd;
    std::unique_ptr<ScriptedPort> port;
    std::unique_ptr<App> app;

private:
    Timing saved_;
    std::thread runner_;
};

}  // namespace wg::test
