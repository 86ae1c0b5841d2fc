// The desktop program's port as worker threads use it: texts reach the view
// on the GUI thread in the order they were sent, a question from a worker
// waits for the GUI thread's answer, and a closing port never blocks a worker.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <thread>
#include <vector>

#include "ui/qt_port.h"

namespace wg::test {
namespace {

class RecordingView : public PortView {
public:
    void ViewStatus(const std::string& text) override {
        EXPECT_EQ(QThread::currentThread(), QApplication::instance()->thread());
        statuses.push_back(text);
    }
    void ViewAppendStatus(const std::string& text) override { statuses.back() += text; }
    void ViewCounter(Counter counter, const std::string& text) override {
        EXPECT_EQ(QThread::currentThread(), QApplication::instance()->thread());
        counters[static_cast<int>(counter)] = text;
    }
    void ViewPauseState(bool paused) override { pauses.push_back(paused); }

    std::vector<std::string> statuses;
    std::string counters[5];
    std::vector<bool> pauses;
};

// Runs the GUI thread's event loop until `done` holds (or 10 s pass).
template <typename Done>
bool PumpUntil(Done done) {
    for (int i = 0; i < 2000 && !done(); ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(5);
    }
    return done();
}

TEST(QtPort, WorkerTextsArriveOnTheGuiThreadInOrder) {
    RecordingView view;
    QtPort port;
    port.SetView(&view);
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        for (int i = 0; i < 200; ++i) {
            port.ShowStatus("status " + std::to_string(i));
            port.SetCounterText(Counter::FilesDownloaded, "Files Downloaded: " + std::to_string(i));
        }
        port.AppendStatus("...");
        port.SetPauseState(true);
        finished = true;
    });
    ASSERT_TRUE(PumpUntil([&] { return finished.load() && !view.pauses.empty(); }));
    worker.join();
    QCoreApplication::processEvents();
    ASSERT_EQ(view.statuses.size(), 200u);
    EXPECT_EQ(view.statuses.front(), "status 0");
    EXPECT_EQ(view.statuses.back(), "status 199...");
    EXPECT_EQ(view.counters[static_cast<int>(Counter::FilesDownloaded)], "Files Downloaded: 199");
    EXPECT_EQ(port.StatusText(), "status 199...");

    // On the GUI thread a text is shown at once.
    port.ShowStatus("now");
    EXPECT_EQ(view.statuses.back(), "now");
}

TEST(QtPort, WorkerQuestionWaitsForTheAnswerOnTheGuiThread) {
    QtPort port;
    std::atomic<int> answer{-1};
    std::thread worker([&] {
        answer = static_cast<int>(
            port.Ask("Continue?", "Question", Buttons::YesNoCancel, Icon::Question));
    });
    // The box runs its own event loop on the GUI thread; a timer there finds
    // it while the worker still waits, and answers it.
    QString text;
    QString title;
    int answerWhileShown = 0;
    QTimer finder;
    QObject::connect(&finder, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        finder.stop();
        text = box->text();
        title = box->windowTitle();
        answerWhileShown = answer.load();
        box->button(QMessageBox::No)->click();
    });
    finder.start(10);
    ASSERT_TRUE(PumpUntil([&] { return answer.load() != -1; }));
    worker.join();
    EXPECT_EQ(answerWhileShown, -1);
    EXPECT_EQ(text, "Continue?");
    EXPECT_EQ(title, "Question");
    EXPECT_EQ(answer.load(), static_cast<int>(Answer::No));
}

TEST(QtPort, AClosingPortNeverBlocksAWorker) {
    QtPort port;
    port.SetClosing();
    Answer fromWorker = Answer::Ok;
    std::thread worker([&] {
        fromWorker = port.Ask("Retry?", "Error", Buttons::YesNo, Icon::Error);
        port.Tell("Gone", "Error", Icon::Error);
    });
    worker.join();  // no event loop runs: a blocking call would hang here
    EXPECT_EQ(fromWorker, Answer::No);
}

}  // namespace
}  // namespace wg::test
