// The small window shown over the main window while long work runs on the
// main thread (generating the sub-directory list): one centred text.
#pragma once

#include <QDialog>
#include <string>

class QLabel;

namespace wg {

class ProgressWindow : public QDialog {
    Q_OBJECT
public:
    // Shown at once over `owner`, with the text "Initializing...".
    explicit ProgressWindow(QWidget* owner);

    void SetText(const std::string& text);
    QString Text() const;

    // Lets the windows repaint and take their input; at most every 30 ms.
    void Pump();

private:
    QLabel* text_ = nullptr;
    qint64 lastPumpMs_ = 0;
};

}  // namespace wg
