// The three list windows over one layout: " Files To Download Queue",
// " Web Pages To Grubble Queue" and " In Process List". A queue viewer shows
// a page of 20 entries with check boxes, pages and searches the queue,
// deletes entries and pauses the crawl; the In Process list shows what the
// workers handle right now. The queues are read through QueueView only.
#pragma once

#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/queue_view.h"
#include "ui/dialog_window.h"

class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace wg {

class App;
class QtPort;

// Identifiers of the list window's controls.
namespace qv {
inline constexpr int kDialog = 108;
inline constexpr int kTree = 1043;
inline constexpr int kStart = 1154;
inline constexpr int kRange = 1153;
inline constexpr int kClose = 1;
inline constexpr int kReload = 1068;
inline constexpr int kPrev = 1067;
inline constexpr int kNext = 1045;
inline constexpr int kJumpToBeginning = 1073;
inline constexpr int kJumpToEnd = 1074;
inline constexpr int kSearchText = 1188;
inline constexpr int kSearch = 1187;
inline constexpr int kDeleteAllFound = 1189;
inline constexpr int kPause = 1184;
inline constexpr int kDeleteSelected = 1044;
inline constexpr int kSelectAll = 1053;

inline constexpr int kPageSize = 20;
inline constexpr int kRefreshMs = 1000;
}  // namespace qv

enum class ListKind { Downloads, Pages, InProcess };

class QueueViewer : public DialogWindow {
    Q_OBJECT
public:
    QueueViewer(App& app, QtPort& port, ListKind kind, QWidget* owner = nullptr);
    ~QueueViewer() override;

    ListKind Kind() const { return kind_; }
    static QString TitleFor(ListKind kind);

    // Opens an entry's URL (right click); set by the owner.
    void SetOpener(std::function<void(const std::string&)> opener) { opener_ = std::move(opener); }

    // The crawl was paused or resumed.
    void ShowPaused(bool paused);
    // The queue was emptied elsewhere: nothing is shown, the page starts again.
    void QueueEmptied();
    // The timer's refresh: the range of the shown entries as they stand now
    // (queues), or the busy transfer slots (In Process).
    void Refresh();

    // Closes the window (Close, Esc); the owner drops it at its next pump.
    void Close();

    // The texts shown, in order (for the owner's tests and the snapshot).
    std::vector<std::string> ShownTexts() const;

protected:
    bool Build() override;
    bool OnCommand(int id) override;
    bool OnKeyDown(int key, int controlId) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Ctrl+A / Ctrl+S select every shown entry, Ctrl+D deletes the selected.
    bool ControlKey(const QKeyEvent& event);

    struct Shown {
        QueueEntry entry;
        QTreeWidgetItem* item = nullptr;
    };

    // Paging (the start index is 0-based; `follow` moves it by the entries
    // taken since the last fill).
    void Fill(std::int64_t start, bool follow);
    void SearchFrom(std::size_t from);
    void Show(const QueueSnapshot& shot);
    void WriteRange(std::size_t first, std::size_t last, std::size_t length,
                    bool refreshing = false);
    void JumpToTyped();
    void Next();
    void Prev();
    void Reload();
    void JumpToEnd();
    void StartSearch();
    void StepRecentSearch(bool older);
    void DeleteAllFound();
    void DeleteSelected();
    void SelectAll();
    void OpenEntryAt(const QPoint& pos);
    void RefreshInProcess();
    void ClearShown();

    App& app_;
    QtPort& port_;
    const ListKind kind_;
    std::unique_ptr<QueueView> view_;  // null for the In Process list
    std::function<void(const std::string&)> opener_;

    QTreeWidget* tree_ = nullptr;
    QLineEdit* start_ = nullptr;
    QLabel* range_ = nullptr;
    QLineEdit* search_ = nullptr;
    QPushButton* pause_ = nullptr;
    QPushButton* deleteFound_ = nullptr;
    QTimer refresh_;

    std::vector<Shown> shown_;
    std::size_t pageStart_ = 0;  // position of the page's first entry
    std::size_t lastShown_ = 0;  // one past the last shown (or examined) position
    std::uint32_t takenAtFill_ = 0;
    bool filled_ = false;
    bool searchMode_ = false;
    bool busy_ = false;        // a command is running; another one is ignored
    std::string searchLower_;  // the search text, lower-cased
};

}  // namespace wg
