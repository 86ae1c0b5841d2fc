#include "support/scripted_port.h"

#include <algorithm>

namespace wg::test {

void ScriptedPort::QueueAnswer(Answer answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_.push_back(answer);
}

void ScriptedPort::ShowStatus(std::string_view text) {
    std::lock_guard<std::mutex> lock(mutex_);
    status_.assign(text);
    statusHistory_.push_back(status_);
}

void ScriptedPort::AppendStatus(std::string_view text) {
    std::lock_guard<std::mutex> lock(mutex_);
    status_.append(text);
    statusHistory_.push_back(status_);
}

void ScriptedPort::SetCounterText(Counter counter, std::string_view text) {
    std::lock_guard<std::mutex> lock(mutex_);
    counters_[static_cast<std::size_t>(counter)].assign(text);
}

Answer ScriptedPort::Ask(std::string_view text, std::string_view caption, Buttons buttons,
                         Icon /*icon*/) {
    std::lock_guard<std::mutex> lock(mutex_);
    questions_.push_back({std::string(text), std::string(caption), buttons});
    if (answers_.empty()) {
        return defaultAnswer;
    }
    const Answer a = answers_.front();
    answers_.pop_front();
    return a;
}

void ScriptedPort::Tell(std::string_view text, std::string_view caption, Icon /*icon*/) {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back(std::string(caption) + ": " + std::string(text));
}

void ScriptedPort::ProcessMessages() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++processCalls_;
}

bool ScriptedPort::SawStatus(const std::string& text) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::find(statusHistory_.begin(), statusHistory_.end(), text) != statusHistory_.end();
}

}  // namespace wg::test
