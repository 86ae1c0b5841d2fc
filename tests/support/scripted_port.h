// A user-interface port for tests: records everything shown and asked, and
// answers questions from a script.
#pragma once

#include <array>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "app/ui_port.h"

namespace wg::test {

struct AskedQuestion {
    std::string text;
    std::string caption;
    Buttons buttons;
};

class ScriptedPort : public UiPort {
public:
    explicit ScriptedPort(bool mainWindow = true) : mainWindow_(mainWindow) {}

    // Answers given in order; once used up, DefaultAnswer is given.
    void QueueAnswer(Answer answer);
    Answer defaultAnswer = Answer::No;

    bool HasMainWindow() const override { return mainWindow_; }
    void ShowStatus(std::string_view text) override;
    void AppendStatus(std::string_view text) override;
    void SetCounterText(Counter counter, std::string_view text) override;
    Answer Ask(std::string_view text, std::string_view caption, Buttons buttons,
               Icon icon) override;
    void Tell(std::string_view text, std::string_view caption, Icon icon) override;
    void ProcessMessages() override;
    void SetCrawlRunning(bool) override {}
    // The file choosers answer with these (empty: cancelled); main thread only.
    std::string ChooseOpenFile(std::string_view, std::string_view, std::string_view) override {
        return chosenOpenFile;
    }
    std::string ChooseSaveFile(std::string_view, std::string_view, std::string_view) override {
        return chosenSaveFile;
    }
    std::string chosenOpenFile;
    std::string chosenSaveFile;

    // Every status line as it stood after each change, in order.
    std::vector<std::string> StatusHistory() const { return Read(statusHistory_); }
    std::string StatusLine() const { return Read(status_); }
    bool SawStatus(const std::string& text) const;
    std::string CounterText(Counter counter) const {
        return Read(counters_[static_cast<std::size_t>(counter)]);
    }
    std::vector<AskedQuestion> Questions() const { return Read(questions_); }
    // "caption: text" of each Tell
    std::vector<std::string> Messages() const { return Read(messages_); }
    int ProcessMessagesCalls() const { return Read(processCalls_); }

private:
    template <typename T>
    T Read(const T& field) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return field;
    }

    bool mainWindow_;
    mutable std::mutex mutex_;
    std::string status_;
    std::vector<std::string> statusHistory_;
    std::array<std::string, 5> counters_;
    std::deque<Answer> answers_;
    std::vector<AskedQuestion> questions_;
    std::vector<std::string> messages_;
    int processCalls_ = 0;
};

}  // namespace wg::test
