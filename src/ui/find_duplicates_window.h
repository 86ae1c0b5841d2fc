// The " Find Duplicate Files" dialog: a base directory, a tree of its
// sub-directories to narrow the search to, and the finder's results. The
// search runs on a thread of its own (DupeSearchSession); the window pulls
// its texts every 200 ms, so it keeps repainting and "Stop" and "Close" act
// between files.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <string>

#include "dupes/dupe_search_session.h"
#include "platform/files.h"
#include "ui/dialog_window.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace wg {

class App;
class UiPort;

namespace fd {
inline constexpr int kDialog = 118;
inline constexpr int kBaseDir = 1105;
inline constexpr int kBrowse = 1107;
inline constexpr int kSet = 1106;
inline constexpr int kTree = 1104;
inline constexpr int kResults = 1108;
inline constexpr int kFind = 1;
inline constexpr int kSearchSubdirs = 1103;
inline constexpr int kStop = 1090;
inline constexpr int kDeleteDuplicates = 1044;
inline constexpr int kClear = 1111;
inline constexpr int kHelp = 1121;
inline constexpr int kLogResults = 1109;
inline constexpr int kClose = 2;
inline constexpr int kCounters = 1113;
inline constexpr int kStatus = 1114;
inline constexpr int kOpenDirectories = 40035;
}  // namespace fd

struct FindDuplicatesHooks {
    std::function<void(const std::string&)> openHelp;  // the read-me page at an anchor
    std::function<void()> openDirectories;             // the " Download Directories" dialog
};

class FindDuplicatesWindow : public DialogWindow {
    Q_OBJECT
public:
    FindDuplicatesWindow(App& app, UiPort& port, FindDuplicatesHooks hooks, QWidget* owner);
    ~FindDuplicatesWindow() override;

    bool Searching() const { return session_.Busy(); }
    // The width the result list scrolls to: 7 pixels a character of its
    // longest line, at least 600.
    int ResultExtent() const { return extent_; }

protected:
    bool Build() override;
    bool OnCommand(int id) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void FillTree();
    void FillBelow(const std::string& dir, QTreeWidgetItem* parent, std::uint64_t& found);
    void Browse();
    void Find();
    void DeleteDuplicates();
    void Clear();
    void Close();
    void OpenPair(QListWidgetItem* item);
    void Poll();
    void Finished();
    void AddResult(const std::string& line);
    void ShowTree(bool tree);
    // The base directory and the path of the selected tree item.
    std::string SearchRoot() const;

    App& app_;
    UiPort& port_;
    FindDuplicatesHooks hooks_;
    QLineEdit* baseDir_ = nullptr;
    QTreeWidget* tree_ = nullptr;
    QListWidget* results_ = nullptr;
    QCheckBox* searchSubdirs_ = nullptr;
    QCheckBox* logResults_ = nullptr;
    QPushButton* find_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* delete_ = nullptr;
    QLabel* counters_ = nullptr;
    QLabel* status_ = nullptr;
    QTimer poll_;
    QElapsedTimer fillPump_;  // since the tree last repainted while being filled
    int extent_ = 600;
    bool closing_ = false;   // "Close" while busy: the window goes when the search returns
    bool stopped_ = false;   // "Stop" during this search
    bool deleting_ = false;  // the running work is "Delete Duplicates"
    // Declared before the session: a running search writes to it until the
    // session has been stopped and joined.
    platform::FilePtr log_;
    DupeSearchSession session_;
};

}  // namespace wg
