// The small window of a long task (building the duplication data, the list of
// sub-directories): one centred text, "Initializing..." at first, over the
// main window. The task sets its text and lets it repaint between steps.
#pragma once

#include <string_view>

#include "ui/dialog_window.h"

class QLabel;

namespace wg {

namespace pw {
inline constexpr int kDialog = 126;
inline constexpr int kText = 1136;
}  // namespace pw

class ProgressWindow : public DialogWindow {
    Q_OBJECT
public:
    explicit ProgressWindow(QWidget* owner);
    ~ProgressWindow() override;

    void SetText(std::string_view text);
    QString Text() const;
    // Lets the window show its new text while the task keeps the thread.
    void ProcessMessages() override;

protected:
    bool Build() override;
    void reject() override {}  // Esc does not end the task

private:
    QLabel* text_ = nullptr;
};

}  // namespace wg
