// The main window over a real App (no workers) with scripted questions,
// choosers and desktop, for the tests of the windows it opens.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QThread>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/crawl_control.h"
#include "app/option_files.h"
#include "dupes/dupe_service.h"
#include "support/test_dirs.h"
#include "ui/main_window.h"
#include "ui/qt_port.h"

namespace wg::test {

class ChildWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        port = std::make_unique<QtPort>();
        port->SetAskHook(
            [this](const std::string& text, const std::string& caption, Buttons, Icon) {
                asked.push_back(caption + ": " + text);
                return answer;
            });
        port->SetTellHook([this](const std::string& text, const std::string& caption, Icon) {
            told.push_back(caption + ": " + text);
        });
        port->SetChooseHook([this](const std::string&) { return chosen; });
        port->SetOpenHook([this](const std::string& target) {
            opened.push_back(target);
            return openResult;
        });
        app = std::make_unique<App>(*port);
        InitOptions init;
        init.programDir = dir.path();
        ASSERT_TRUE(app->Initialise(init));
        window = std::make_unique<MainWindow>(*app, *port);
        ASSERT_TRUE(window->Create());
        port->SetView(window.get());
    }

    void TearDown() override {
        port->SetView(nullptr);
        window.reset();
        if (app != nullptr) {
            app->Dupes().JoinThread();
        }
        app.reset();
    }

    // Opens a child window from its menu item; null when it did not open.
    template <typename T>
    T* Open(int menuId) {
        QAction* item = window->findChild<QAction*>(DialogWindow::IdName(menuId));
        EXPECT_TRUE(item != nullptr && item->isEnabled()) << menuId;
        if (item != nullptr) {
            item->trigger();
        }
        return window->findChild<T*>();
    }

    template <typename C = QWidget>
    static C* In(QWidget* parent, int id) {
        auto* control = parent->findChild<C*>(DialogWindow::IdName(id));
        EXPECT_NE(control, nullptr) << "control " << id;
        return control;
    }

    // The control `id` of the main window (or of `parent`), clicked or read.
    void Click(int id) { In<QAbstractButton>(window.get(), id)->click(); }
    static void Click(QWidget* parent, int id) { In<QAbstractButton>(parent, id)->click(); }
    static QAbstractButton* Button(QWidget* parent, int id) {
        return In<QAbstractButton>(parent, id);
    }
    static QLineEdit* Edit(QWidget* parent, int id) { return In<QLineEdit>(parent, id); }
    static QString TextOf(QWidget* parent, int id) {
        if (auto* edit = parent->findChild<QLineEdit*>(DialogWindow::IdName(id))) {
            return edit->text();
        }
        return In<QLabel>(parent, id)->text();
    }
    QString Text(int id) { return TextOf(window.get(), id); }
    QAction* Item(int id) {
        QAction* action = window->findChild<QAction*>(DialogWindow::IdName(id));
        EXPECT_NE(action, nullptr) << "menu item " << id;
        return action;
    }
    // Lets closed windows go, as the event loop would.
    void Settle() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        window->ProcessMessages();
    }
    // Runs the program's main loop (workers started) until `done` holds.
    bool RunUntil(const std::function<bool()>& done, int rounds = 2000) {
        for (int round = 0; round < rounds && !done(); ++round) {
            app->MainLoopStep();
            window->ProcessMessages();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(5);
        }
        return done();
    }

    // Ends an app whose workers ran, joining them, so that the test can put
    // back the timing they read.
    void EndRunningApp() {
        app->Control().RequestExit();
        app->LeaveMainLoop();
        port->SetView(nullptr);
        window.reset();
        app.reset();
    }

    std::string SettingsText() const {
        return std::filesystem::exists(app->Paths().settingsFile)
                   ? ReadWholeFile(app->Paths().settingsFile)
                   : std::string("(none)");
    }

    TempDir dir;
    CurrentDirGuard cwd;
    std::unique_ptr<QtPort> port;
    std::unique_ptr<App> app;
    std::unique_ptr<MainWindow> window;
    std::vector<std::string> asked;
    std::vector<std::string> told;
    std::vector<std::string> opened;
    Answer answer = Answer::No;
    std::string chosen;
    bool openResult = true;  // what the desktop answers an open
};

}  // namespace wg::test
