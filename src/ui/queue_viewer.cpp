#include "ui/queue_viewer.h"
#include "app/crawl_control.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>

#include "app/app.h"
#include "app/recent_texts.h"
#include "crawl/run_state.h"
#include "ui/main_window.h"
#include "ui/qt_port.h"
#include "util/text.h"

namespace wg {

namespace {

constexpr std::size_t kSearchTextLimit = 259;  // the search text keeps 260 characters
constexpr std::size_t kPage = static_cast<std::size_t>(qv::kPageSize);
// The timer's refresh looks this far past the last shown number for the last entry.
constexpr std::size_t kRefreshReach = 22;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// Sets the busy flag for the time of one command.
class BusyScope {
public:
    explicit BusyScope(bool& busy) : busy_(busy) { busy_ = true; }
    ~BusyScope() { busy_ = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& busy_;
};

}  // namespace

QueueViewer::QueueViewer(App& app, QtPort& port, ListKind kind, QWidget* owner)
    : DialogWindow(owner), app_(app), port_(port), kind_(kind) {
    if (kind != ListKind::InProcess) {
        view_ = std::make_unique<QueueView>(
            app, kind == ListKind::Pages ? ViewedQueue::Pages : ViewedQueue::Downloads);
    }
}

QueueViewer::~QueueViewer() = default;

QString QueueViewer::TitleFor(ListKind kind) {
    switch (kind) {
        case ListKind::Downloads:
            return QStringLiteral(" Files To Download Queue");
        case ListKind::Pages:
            return QStringLiteral(" Web Pages To Grubble Queue");
        case ListKind::InProcess:
            break;
    }
    return QStringLiteral(" In Process List");
}

bool QueueViewer::Build() {
    setObjectName(IdName(qv::kDialog));
    setWindowTitle(TitleFor(kind_));
    auto* top = new QVBoxLayout(this);
    auto* hint = new QLabel(QStringLiteral("Left click to select  -  Right click to open"), this);
    top->addWidget(hint);
    tree_ = new QTreeWidget(this);
    tree_->setObjectName(IdName(qv::kTree));
    tree_->setColumnCount(1);
    tree_->setHeaderHidden(true);
    tree_->setRootIsDecorated(false);
    tree_->setUniformRowHeights(true);
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tree_, &QTreeWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { OpenEntryAt(pos); });
    top->addWidget(tree_, 1);

    auto* paging = new QHBoxLayout;
    start_ = new QLineEdit(this);
    NameControl(start_, qv::kStart);
    start_->setValidator(new QIntValidator(1, 2000000000, start_));
    // Room for a count of a million entries, at most one of a hundred million.
    start_->setMinimumWidth(start_->fontMetrics().horizontalAdvance(QStringLiteral("9999999")) +
                            16);
    start_->setMaximumWidth(start_->fontMetrics().horizontalAdvance(QStringLiteral("99999999")) +
                            16);
    range_ = new QLabel(this);
    range_->setObjectName(IdName(qv::kRange));
    range_->setTextFormat(Qt::PlainText);
    range_->setMinimumWidth(
        range_->fontMetrics().horizontalAdvance(QStringLiteral("  to  9999999   (of  9999999)")));
    paging->addWidget(start_);
    paging->addWidget(range_);
    paging->addStretch(1);
    paging->addWidget(AddButton(qv::kPrev, QStringLiteral("Prev")));
    paging->addWidget(AddButton(qv::kNext, QStringLiteral("Next")));
    paging->addWidget(AddButton(qv::kJumpToBeginning, QStringLiteral("Jump To Beginning")));
    paging->addWidget(AddButton(qv::kJumpToEnd, QStringLiteral("Jump To End")));
    paging->addWidget(AddButton(qv::kReload, QStringLiteral("Reload")));
    top->addLayout(paging);

    auto* searching = new QHBoxLayout;
    search_ = new QLineEdit(this);
    search_->setMaxLength(static_cast<int>(kSearchTextLimit));
    NameControl(search_, qv::kSearchText);
    searching->addWidget(search_, 1);
    searching->addWidget(AddButton(qv::kSearch, QStringLiteral("Search")));
    deleteFound_ = AddButton(qv::kDeleteAllFound, kind_ == ListKind::Downloads
                                                      ? QStringLiteral("Delete All")
                                                      : QStringLiteral("Delete All Found"));
    searching->addWidget(deleteFound_);
    top->addLayout(searching);

    auto* commands = new QHBoxLayout;
    commands->addWidget(AddButton(qv::kSelectAll, QStringLiteral("Select All")));
    commands->addWidget(AddButton(qv::kDeleteSelected, QStringLiteral("Delete Selected")));
    pause_ = AddButton(qv::kPause, QStringLiteral("Pause"));
    commands->addWidget(pause_);
    commands->addStretch(1);
    commands->addWidget(AddButton(qv::kClose, QStringLiteral("Close")));
    top->addLayout(commands);

    // Ctrl+A, Ctrl+S and Ctrl+D reach the window from the list too.
    tree_->installEventFilter(this);

    if (kind_ == ListKind::InProcess) {
        // What the workers handle cannot be paged, searched or deleted here.
        for (int id :
             {qv::kStart, qv::kSearchText, qv::kSearch, qv::kPrev, qv::kNext, qv::kJumpToBeginning,
              qv::kJumpToEnd, qv::kDeleteAllFound, qv::kDeleteSelected}) {
            Control(id)->setEnabled(false);
        }
    }
    ShowPaused(app_.State().Paused());
    resize(640, 480);

    connect(&refresh_, &QTimer::timeout, this, [this] { Refresh(); });
    refresh_.start(qv::kRefreshMs);
    if (kind_ == ListKind::InProcess) {
        RefreshInProcess();
    } else {
        Fill(0, false);
    }
    return true;
}

bool QueueViewer::OnCommand(int id) {
    switch (id) {
        case qv::kClose:
            Close();
            return true;
        case qv::kPause:
            app_.Control().TogglePause();
            return true;
        case qv::kSelectAll:
            SelectAll();
            return true;
        case qv::kReload:
            Reload();
            return true;
        default:
            break;
    }
    if (!view_) {
        return false;
    }
    switch (id) {
        case qv::kPrev:
            Prev();
            return true;
        case qv::kNext:
            Next();
            return true;
        case qv::kJumpToBeginning:
            Fill(0, false);
            return true;
        case qv::kJumpToEnd:
            JumpToEnd();
            return true;
        case qv::kSearch:
            StartSearch();
            return true;
        case qv::kDeleteAllFound:
            DeleteAllFound();
            return true;
        case qv::kDeleteSelected:
            DeleteSelected();
            return true;
        default:
            return false;
    }
}

bool QueueViewer::OnKeyDown(int key, int controlId) {
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (!view_) {
        return false;
    }
    if (controlId == qv::kSearchText) {
        if (enter) {
            StartSearch();
            return true;
        }
        if (key == Qt::Key_Down || key == Qt::Key_Up) {
            StepRecentSearch(key == Qt::Key_Down);
            return true;
        }
    }
    if (controlId == qv::kStart && enter) {
        JumpToTyped();
        return true;
    }
    return false;
}

bool QueueViewer::ControlKey(const QKeyEvent& event) {
    if (event.modifiers() != Qt::ControlModifier) {
        return false;
    }
    switch (event.key()) {
        case Qt::Key_A:
        case Qt::Key_S:
            return OnCommand(qv::kSelectAll);
        case Qt::Key_D:
            return OnCommand(qv::kDeleteSelected);
        default:
            return false;
    }
}

bool QueueViewer::eventFilter(QObject* watched, QEvent* event) {
    // The text fields keep their own Ctrl+A.
    if (event->type() == QEvent::KeyPress && qobject_cast<QLineEdit*>(watched) == nullptr &&
        ControlKey(*static_cast<QKeyEvent*>(event))) {
        return true;
    }
    return DialogWindow::eventFilter(watched, event);
}

void QueueViewer::keyPressEvent(QKeyEvent* event) {
    if (!ControlKey(*event)) {
        DialogWindow::keyPressEvent(event);
    }
}

void QueueViewer::reject() {
    Close();  // Esc
}

void QueueViewer::Close() {
    refresh_.stop();
    MarkClosed();
    hide();
}

void QueueViewer::ShowPaused(bool paused) {
    pause_->setText(paused ? QStringLiteral("Unpause") : QStringLiteral("Pause"));
    pause_->setIcon(PauseIcon(paused));
}

std::vector<std::string> QueueViewer::ShownTexts() const {
    std::vector<std::string> texts;
    texts.reserve(shown_.size());
    for (const Shown& s : shown_) {
        texts.push_back(s.entry.url);
    }
    return texts;
}

// ---- showing entries ----

void QueueViewer::ClearShown() {
    shown_.clear();
    tree_->clear();
}

void QueueViewer::Show(const QueueSnapshot& shot) {
    ClearShown();
    tree_->setUpdatesEnabled(false);
    for (const QueueEntry& entry : shot.entries) {
        auto* item = new QTreeWidgetItem(tree_, QStringList(Q(entry.url)));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
        shown_.push_back({entry, item});
    }
    tree_->setUpdatesEnabled(true);
}

void QueueViewer::WriteRange(std::size_t first, std::size_t last, std::size_t length,
                             bool refreshing) {
    // The refresh leaves alone a number the user is typing.
    if (!refreshing || !start_->hasFocus()) {
        start_->setText(QString::number(first + 1));
    }
    // The page viewer has one blank less before the parenthesis.
    const char* format =
        kind_ == ListKind::Pages ? "  to  %zu  (of  %zu)" : "  to  %zu   (of  %zu)";
    char text[96];
    std::snprintf(text, sizeof text, format, last, length);
    range_->setText(QString::fromLatin1(text));
}

void QueueViewer::Fill(std::int64_t start, bool follow) {
    if (busy_ || !view_) {
        return;
    }
    const BusyScope busy(busy_);
    searchMode_ = false;
    if (kind_ == ListKind::Downloads) {
        deleteFound_->setText(QStringLiteral("Delete All"));
    }
    std::optional<std::uint32_t> takenBefore;
    if (filled_ && start > 0 && follow) {
        takenBefore = takenAtFill_;
    }
    QueueSnapshot shot = view_->Page(std::max<std::int64_t>(start, 0), kPage, takenBefore);
    if (shot.first >= shot.length && shot.length > 0) {
        // Past the end (the queue has shrunk): the last page instead.
        shot = view_->Page(static_cast<std::int64_t>(shot.length) - qv::kPageSize, kPage);
    }
    takenAtFill_ = shot.taken;
    filled_ = true;
    Show(shot);
    pageStart_ = shot.first;
    lastShown_ = std::min(shot.first + kPage, shot.length);
    WriteRange(pageStart_, lastShown_, shot.length);
    Control(qv::kPrev)->setEnabled(pageStart_ > 0);
}

void QueueViewer::SearchFrom(std::size_t from) {
    if (busy_ || !view_) {
        return;
    }
    const BusyScope busy(busy_);
    searchMode_ = true;
    deleteFound_->setText(QStringLiteral("Delete All Found"));
    if (kind_ == ListKind::Pages) {
        range_->setText(QStringLiteral("Searching..."));
        range_->repaint();
    }
    const QueueSnapshot shot = view_->Search(from, searchLower_, kPage);
    takenAtFill_ = shot.taken;
    filled_ = true;
    Show(shot);
    pageStart_ = std::min(from, shot.length);
    lastShown_ = shot.end;
    WriteRange(pageStart_, lastShown_, shot.length);
    Control(qv::kPrev)->setEnabled(pageStart_ > 0);
}

// ---- paging ----

void QueueViewer::Next() {
    if (searchMode_) {
        SearchFrom(lastShown_);
    } else {
        Fill(static_cast<std::int64_t>(lastShown_), true);
    }
}

void QueueViewer::Prev() {
    if (searchMode_) {
        SearchFrom(lastShown_ > 2 * kPage ? lastShown_ - 2 * kPage : 0);
    } else {
        Fill(static_cast<std::int64_t>(pageStart_) - qv::kPageSize, true);
    }
}

void QueueViewer::Reload() {
    if (kind_ == ListKind::InProcess) {
        RefreshInProcess();
    } else if (searchMode_) {
        SearchFrom(pageStart_);
    } else {
        Fill(static_cast<std::int64_t>(pageStart_), true);
    }
}

void QueueViewer::JumpToEnd() {
    Fill(static_cast<std::int64_t>(view_->Length()) - qv::kPageSize, false);
}

void QueueViewer::JumpToTyped() {
    bool ok = false;
    const long long typed = start_->text().trimmed().toLongLong(&ok);
    if (!ok || typed < 1) {
        start_->setText(QString::number(pageStart_ + 1));
        return;
    }
    const auto length = static_cast<long long>(view_->Length());
    Fill(typed > length ? length - qv::kPageSize : typed - 1, false);
}

// ---- searching ----

void QueueViewer::StartSearch() {
    const std::string typed = search_->text().toStdString();
    searchLower_ = ToLowerAscii(typed.substr(0, std::min(typed.size(), kSearchTextLimit)));
    if (searchLower_.empty()) {
        Fill(0, false);
        return;
    }
    app_.RecentSearches().Remember(typed);
    SearchFrom(0);
}

void QueueViewer::StepRecentSearch(bool older) {
    const std::string text = search_->text().toStdString();
    const std::string shown =
        older ? app_.RecentSearches().Older(text) : app_.RecentSearches().Newer(text);
    search_->setText(Q(shown));
}

// ---- deleting and selecting ----

void QueueViewer::DeleteAllFound() {
    if (busy_) {
        return;
    }
    if (kind_ == ListKind::Downloads && !searchMode_) {
        if (port_.Ask("Are you sure you want to remove ALL entries in the download queue?",
                      "Warning", Buttons::YesNo, Icon::Question) == Answer::Yes) {
            view_->Empty();
            Fill(0, false);
        }
        return;
    }
    // The page viewer deletes what its search text finds, searched or not.
    std::string text = searchLower_;
    if (!searchMode_) {
        const std::string typed = search_->text().toStdString();
        text = ToLowerAscii(typed.substr(0, std::min(typed.size(), kSearchTextLimit)));
    }
    if (text.empty()) {
        return;  // an empty text finds nothing
    }
    int removed = 0;
    {
        const BusyScope busy(busy_);
        ClearShown();
        if (kind_ == ListKind::Pages) {
            range_->setText(QStringLiteral("Deleting..."));
            range_->repaint();
        }
        removed = view_->RemoveMatching(text);
        search_->clear();
        searchLower_.clear();
    }
    char status[80];
    std::snprintf(status, sizeof status, "%d search terms found and deleted.", removed);
    app_.ShowStatus(status);
    Fill(0, false);
}

void QueueViewer::DeleteSelected() {
    if (busy_) {
        return;
    }
    std::vector<QueueEntry> selected;
    for (const Shown& s : shown_) {
        if (s.item->checkState(0) == Qt::Checked) {
            selected.push_back(s.entry);
        }
    }
    if (selected.empty()) {
        return;
    }
    int removed = 0;
    {
        const BusyScope busy(busy_);
        removed = view_->Remove(selected);
    }
    // Our own removals count as taken entries but do not move the page.
    takenAtFill_ += static_cast<std::uint32_t>(removed);
    if (searchMode_) {
        SearchFrom(pageStart_);
    } else {
        Fill(static_cast<std::int64_t>(pageStart_), true);
    }
}

void QueueViewer::SelectAll() {
    tree_->setUpdatesEnabled(false);
    for (const Shown& s : shown_) {
        s.item->setCheckState(0, Qt::Checked);
    }
    tree_->setUpdatesEnabled(true);
}

void QueueViewer::OpenEntryAt(const QPoint& pos) {
    const QTreeWidgetItem* item = tree_->itemAt(pos);
    const auto shown = std::find_if(shown_.begin(), shown_.end(),
                                    [item](const Shown& s) { return s.item == item; });
    if (item == nullptr || shown == shown_.end()) {
        return;
    }
    if (opener_) {
        opener_(shown->entry.url);
    } else {
        (void)port_.OpenWithDesktop(shown->entry.url);
    }
}

// ---- the timer ----

void QueueViewer::QueueEmptied() {
    ClearShown();
    if (view_) {
        Fill(0, false);
    }
}

void QueueViewer::Refresh() {
    if (kind_ == ListKind::InProcess) {
        RefreshInProcess();
        return;
    }
    if (busy_ || !view_) {
        return;
    }
    const BusyScope busy(busy_);
    if (shown_.empty()) {
        const std::size_t length = view_->Length();
        WriteRange(pageStart_, std::min(lastShown_, length), length, true);
        return;
    }
    const QueuePositions at = view_->Locate(shown_.front().entry.url, shown_.back().entry.url,
                                            lastShown_, lastShown_ + kRefreshReach);
    // A first entry taken meanwhile: the page has moved by the entries taken.
    const std::uint32_t moved = at.taken - takenAtFill_;
    const std::size_t first =
        at.first.value_or(pageStart_ > moved ? pageStart_ - moved : std::size_t{0});
    const std::size_t last = at.last ? *at.last + 1 : std::min(lastShown_, at.length);
    WriteRange(first, last, at.length, true);
}

void QueueViewer::RefreshInProcess() {
    const std::vector<std::string> lines = app_.Snapshot().inProcessLines;
    QueueSnapshot shot;
    shot.entries.reserve(lines.size());
    for (const std::string& line : lines) {
        shot.entries.push_back({line, nullptr});
    }
    Show(shot);
    setWindowTitle(QString::asprintf(" In Process List: %d", static_cast<int>(lines.size())));
}

}  // namespace wg
