// The tray icon's controller where there is no tray (the offscreen platform):
// the window stays, the menu works, the counters and messages do no harm.
// tests/x11/tray_test.cpp has it with a real tray.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "ui/tray.h"

namespace wg {
namespace {

class TrayControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "offscreen has no tray";
        window_.show();
        tray_ = new TrayController(&window_);
    }

    QAction* FindAction(const char* name) { return window_.findChild<QAction*>(name); }

    QWidget window_;
    TrayController* tray_ = nullptr;  // the window's child
};

TEST_F(TrayControllerTest, WithoutTrayTheWindowStays) {
    QSignalSpy spy(tray_, &TrayController::restored);
    EXPECT_FALSE(tray_->MinimiseToTray());
    EXPECT_TRUE(window_.isVisible());
    EXPECT_FALSE(tray_->IconShown());
    EXPECT_FALSE(tray_->NotifyFinished(QStringLiteral("Finished.")));

    // Restoring brings back a window that was hidden some other way.
    window_.hide();
    tray_->Restore();
    EXPECT_TRUE(window_.isVisible());
    EXPECT_FALSE(window_.isMinimized());
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(TrayControllerTest, MenuEntriesEmitTheirSignalsAndGoWithTheController) {
    QMenu* menu = window_.findChild<QMenu*>(QStringLiteral("trayMenu"));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu, tray_->Menu());
    QStringList entries;
    for (const QAction* action : menu->actions()) {
        entries << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
    }
    EXPECT_EQ(entries, QStringList({"trayShow", "trayPause", "-", "trayExit"}));
    EXPECT_TRUE(FindAction("trayPause")->isCheckable());

    QSignalSpy restored(tray_, &TrayController::restored);
    QSignalSpy paused(tray_, &TrayController::pauseToggled);
    QSignalSpy exit(tray_, &TrayController::exitRequested);
    QSignalSpy* const spies[] = {&restored, &paused, &exit};
    struct Case {
        const char* action;
        QSignalSpy* spy;
        bool queued;  // delivered only from the event loop
    };
    for (const Case& c : {Case{"trayShow", &restored, false}, Case{"trayPause", &paused, false},
                          Case{"trayExit", &exit, true}}) {
        SCOPED_TRACE(c.action);
        window_.hide();
        FindAction(c.action)->trigger();
        EXPECT_EQ(c.spy->count(), c.queued ? 0 : 1);
        QCoreApplication::processEvents();
        for (QSignalSpy* spy : spies) {
            EXPECT_EQ(spy->count(), spy == c.spy ? 1 : 0);
            spy->clear();
        }
        // Only "Show" brings the window back.
        EXPECT_EQ(window_.isVisible(), c.spy == &restored);
    }

    const QPointer<QMenu> guarded = menu;
    delete tray_;
    EXPECT_TRUE(guarded.isNull());
    EXPECT_EQ(FindAction("trayExit"), nullptr);
}

TEST_F(TrayControllerTest, SetPausedMovesTheCheckMarkOnly) {
    QSignalSpy paused(tray_, &TrayController::pauseToggled);
    QAction* pause = FindAction("trayPause");
    for (const bool state : {true, true, false, true}) {
        tray_->SetPaused(state);
        EXPECT_EQ(pause->isChecked(), state);
        EXPECT_EQ(pause->text(), QStringLiteral("Pause"));
    }
    EXPECT_EQ(paused.count(), 0) << "keeping the check mark in step must not toggle the pause";
}

TEST_F(TrayControllerTest, ToolTipShowsTheCounters) {
    for (const char* counters : {"Links To Grubble: 3\nTo Download: 5", ""}) {
        tray_->SetCounters(QString::fromUtf8(counters));
        EXPECT_EQ(tray_->ToolTip(), QStringLiteral("Web Grubbler\n") + counters);
    }
}

}  // namespace
}  // namespace wg
