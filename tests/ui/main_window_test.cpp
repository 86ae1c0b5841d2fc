// The main window over a real App (no workers started): what its controls,
// keys and menu items do to the App, and what the App's notifications show.

#include <QCheckBox>
#include <QDialog>
#include <QImage>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>
#include <utility>

#include "app/app_lists.h"
#include "app/recent_texts.h"
#include "child_window_fixture.h"
#include "crawl/crawl_queues.h"
#include "settings/type_groups.h"
#include "ui/image_preview.h"
#include "util/timing.h"

namespace wg::test {
namespace {

class MainWindowTest : public ChildWindowTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ChildWindowTest::SetUp());
        Timing fast;
        fast.stopSettleMs = 1;
        fast.inProcessPollMs = 2;
        app->SetTimings(fast);
    }

    template <typename T = QWidget>
    T* Widget(int id) {
        return In<T>(window.get(), id);
    }
    void TypeAddress(const QString& text) {
        auto* edit = Widget<QLineEdit>(mw::kAddress);
        edit->clear();
        QTest::keyClicks(edit, text);
    }
    UrlRecordPtr NewestPage() {
        auto lock = app->Queues().Pages();
        const auto& entries = lock->Entries();
        return entries.empty() ? nullptr : entries.back();
    }
    std::size_t Downloads() { return QueuedFiles(*app).size(); }
};

// Every command of the menu has its window, and the menus keep the
// accelerators the keyboard (and the real-X tests) open them with.
TEST_F(MainWindowTest, EveryMenuCommandIsEnabledUnderItsMenu) {
    for (const int id : {40010, 40039, 40024, 40009, 40021, 40016, 40036, 40006, 40017, 40008,
                         40015, 40007, 40023, 2,     40002, 40025, 40011, 40014, 40030, 40013,
                         40018, 40022, 40035, 40020, 40019, 40029, 40032, 40004, 40034, 40005}) {
        QAction* action = Item(id);
        ASSERT_NE(action, nullptr);
        EXPECT_TRUE(action->isEnabled()) << id;
    }
    QStringList menus;
    for (QAction* menu : window->findChild<QMenuBar*>()->actions()) {
        menus << menu->text();
    }
    EXPECT_EQ(menus,
              (QStringList{"&Files", "&View", "&Options", "Find &Duplicates", "&Wizard", "&Help"}));
}

TEST_F(MainWindowTest, GoFetchQueuesTheAddressWithScopeAndTypes) {
    Click(1);
    EXPECT_EQ(port->StatusText(),
              "Please type in a web address to the right of where it says URL above.");

    TypeAddress(QStringLiteral("127.0.0.1:9/start/"));
    Click(1034);
    Click(1024);  // "Web Pages" off
    Click(1021);  // "Pictures" on
    Click(1);
    UrlRecordPtr page = NewestPage();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->url, "http://127.0.0.1:9/start/");
    EXPECT_EQ(page->allLinked, 1);
    EXPECT_EQ(page->withinDomain, 0);
    EXPECT_EQ(Text(1006), QStringLiteral("Links To Grubble: 1"));
    EXPECT_EQ(app->Settings().dft.load(), kGroupPictures);
    EXPECT_EQ(app->Settings().types.Text(TypeKind::FileTypes),
              app->Settings().types.Text(TypeKind::PictureTypes));
    EXPECT_TRUE(Widget(1090)->isEnabled());
    EXPECT_TRUE(Widget(1091)->isEnabled());

    // Enter in the address field starts a crawl too, with the scope then chosen.
    Click(1033);
    TypeAddress(QStringLiteral("127.0.0.1:9/other.html"));
    QTest::keyClick(Widget(1000), Qt::Key_Return);
    page = NewestPage();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->url, "http://127.0.0.1:9/other.html");
    EXPECT_EQ(page->withinDomain, 1);
    EXPECT_EQ(page->allLinked, 0);

    // "File URL" queues a download only.
    Click(1070);
    TypeAddress(QStringLiteral("127.0.0.1:9/pic.jpg"));
    Click(1);
    EXPECT_EQ(Downloads(), 1u);
    EXPECT_EQ(NewestPage()->url, "http://127.0.0.1:9/other.html");
    EXPECT_EQ(Text(1007), QStringLiteral("To Download: 1"));
}

TEST_F(MainWindowTest, ScopeButtonsAreExclusiveButTheCheckedOneCanBeCleared) {
    auto* only = Widget<QRadioButton>(1032);
    auto* domain = Widget<QRadioButton>(1033);
    EXPECT_TRUE(only->isChecked());
    Click(1033);
    EXPECT_FALSE(only->isChecked());
    EXPECT_TRUE(domain->isChecked());
    EXPECT_EQ(port->SelectedScope(), CrawlScope::WithinDomain);
    Click(1070);
    EXPECT_FALSE(domain->isChecked());
    EXPECT_EQ(port->SelectedScope(), CrawlScope::FileUrl);
    Click(1070);
    for (int id : {1032, 1033, 1034, 1070}) {
        EXPECT_FALSE(Widget<QRadioButton>(id)->isChecked()) << id;
    }
    EXPECT_EQ(port->SelectedScope(), CrawlScope::OnlyThisPage);

    // With none checked Go crawls that one page.
    TypeAddress(QStringLiteral("127.0.0.1:9/"));
    Click(1);
    ASSERT_NE(NewestPage(), nullptr);
    EXPECT_EQ(NewestPage()->allLinked, 0);
    EXPECT_EQ(NewestPage()->withinDomain, 0);

    // The engine sets them after a wizard start or a loaded state.
    port->SetScopeButtons(true, false);
    EXPECT_TRUE(Widget<QRadioButton>(1034)->isChecked());
    EXPECT_FALSE(only->isChecked());
    EXPECT_EQ(port->SelectedScope(), CrawlScope::AllLinked);
}

// The boxes show the groups the file types reach and hand their clicks to
// the composition, whose rules tests/settings/type_groups_test.cpp covers.
TEST_F(MainWindowTest, TypeBoxesShowTheGroupsAndComposeTheDownloadTypes) {
    auto* web = Widget<QCheckBox>(1024);
    auto* music = Widget<QCheckBox>(1020);
    auto* pictures = Widget<QCheckBox>(1021);
    const std::string pictureList = app->Settings().types.Text(TypeKind::PictureTypes);

    // File types set elsewhere: the groups they reach show half-ticked, and
    // Go leaves them alone while no box is clicked.
    app->Settings().types.Set(TypeKind::FileTypes, ".jpg;.mp3");
    app->Settings().dft.store(0);
    window->RefreshTypeBoxes();
    EXPECT_EQ(web->checkState(), Qt::Unchecked);
    EXPECT_EQ(music->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(pictures->checkState(), Qt::PartiallyChecked);
    TypeAddress(QStringLiteral("127.0.0.1:9/"));
    Click(1);
    EXPECT_EQ(app->Settings().types.Text(TypeKind::FileTypes), ".jpg;.mp3");

    // A click: the half-ticked boxes drop out.
    Click(1021);
    EXPECT_EQ(pictures->checkState(), Qt::Checked);
    EXPECT_EQ(music->checkState(), Qt::Unchecked);
    EXPECT_EQ(window->DownloadTypesText(), pictureList);

    // "Web Pages" stands for every type but programs and scripts; Pictures
    // with it ticked stays clear, and the status says why.
    Click(1024);
    EXPECT_EQ(pictures->checkState(), Qt::Unchecked);
    EXPECT_EQ(window->DownloadTypesText(), std::string(kDefaultFileTypes));
    Click(1021);
    EXPECT_EQ(pictures->checkState(), Qt::Unchecked);
    EXPECT_TRUE(Text(1055).startsWith(QStringLiteral("Web Pages already downloads every file")));

    // None ticked: the list stays, DFT becomes 0.
    Click(1024);
    EXPECT_EQ(window->DownloadTypesText(), "");
    Click(1);
    EXPECT_EQ(app->Settings().dft.load(), 0);
    EXPECT_EQ(app->Settings().types.Text(TypeKind::FileTypes), ".jpg;.mp3");
}

TEST_F(MainWindowTest, PauseShowsItsStateInButtonStatusAndMenu) {
    Click(1184);
    EXPECT_TRUE(app->State().Paused());
    EXPECT_EQ(Widget<QAbstractButton>(1184)->text(), QStringLiteral("Unpause"));
    EXPECT_EQ(Text(1055), QStringLiteral("Paused"));
    EXPECT_TRUE(Item(40010)->isChecked());
    Item(40010)->trigger();
    EXPECT_FALSE(app->State().Paused());
    EXPECT_EQ(Widget<QAbstractButton>(1184)->text(), QStringLiteral("Pause"));
    EXPECT_EQ(Text(1055), QStringLiteral("Processing..."));
    EXPECT_FALSE(Item(40010)->isChecked());
}

// Switches the engine sets on its own (the wizard's start clears "Stop Adding
// To 'Links To Grubble'", an update's wind-down sets "Exit After This
// Download") are shown by the menu at the next pump.
TEST_F(MainWindowTest, MenuChecksFollowSwitchesTheEngineSets) {
    using Setter = void (RunState::*)(bool);
    const std::pair<Setter, int> switches[] = {
        {&RunState::SetStopAddingLinks, 40009},
        {&RunState::SetExitAfterThisDownload, 40023},
        {&RunState::SetPauseAfterDownloads, 40039},
    };
    for (const auto& [set, id] : switches) {
        for (const bool on : {true, false}) {
            (app->State().*set)(on);
            window->ProcessMessages();
            EXPECT_EQ(Item(id)->isChecked(), on) << id;
        }
    }
}

TEST_F(MainWindowTest, StopQuestionHasThreeAnswers) {
    TypeAddress(QStringLiteral("127.0.0.1:9/"));
    Click(1);
    ASSERT_TRUE(Widget(1090)->isEnabled());

    answer = Answer::Cancel;
    Click(1090);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0],
              "Stop: The crawl is being stopped.\n\nDo you want to erase the history of URLs "
              "scanned too?");
    EXPECT_FALSE(app->State().StopRequested());
    EXPECT_TRUE(Widget(1090)->isEnabled());

    answer = Answer::Yes;
    Click(1090);
    EXPECT_TRUE(app->State().StopRequested());
    EXPECT_TRUE(app->State().ClearVisitedOnStop());
    EXPECT_TRUE(Text(1055).startsWith(QStringLiteral("Stopping")) ||
                Text(1055) == QStringLiteral("Stopped."))
        << Text(1055).toStdString();
    EXPECT_FALSE(Widget(1090)->isEnabled());
    EXPECT_EQ(Text(1006), QStringLiteral("Links To Grubble: 0"));

    port->SetCrawlRunning(true);
    app->State().EndStop();
    answer = Answer::No;
    Click(1090);
    EXPECT_TRUE(app->State().StopRequested());
    EXPECT_FALSE(app->State().ClearVisitedOnStop());
    EXPECT_TRUE(app->State().AbortingTransfers());
    EXPECT_FALSE(Widget(1091)->isEnabled());
}

TEST_F(MainWindowTest, ExitTwiceEndsAtOnceAndTheCloseBoxIsExit) {
    app->Settings().alwaysSave.store(true);
    window->close();  // the window's close box
    EXPECT_TRUE(window->ExitPressed());
    EXPECT_TRUE(app->State().ExitRequested());
    EXPECT_FALSE(app->Settings().alwaysSave.load());
    EXPECT_FALSE(window->Closed());
    // ExitNow only raises the exit flags; the program's loop ends the process.
    app->State().SetExitRequested(false);
    Click(2);
    EXPECT_TRUE(app->State().ExitRequested());
    EXPECT_TRUE(app->State().WorkersStopping());
}

TEST_F(MainWindowTest, QuestionsAndMessagesOfTheMenu) {
    Click(1070);
    TypeAddress(QStringLiteral("127.0.0.1:9/a.zip"));
    Click(1);
    ASSERT_EQ(Downloads(), 1u);
    answer = Answer::No;
    Item(40024)->trigger();
    EXPECT_EQ(asked.back(), "Warning: Are you sure you want to empty the download queue?");
    EXPECT_EQ(Text(1055), QStringLiteral("'Remove All Downloads' action aborted."));
    EXPECT_EQ(Downloads(), 1u);
    answer = Answer::Yes;
    Click(1181);
    EXPECT_EQ(Downloads(), 0u);
    EXPECT_EQ(Text(1007), QStringLiteral("To Download: 0"));

    Click(1180);
    EXPECT_EQ(Text(1055), QStringLiteral("Sorry, no last download found."));
    QTest::mouseClick(Widget(1190), Qt::LeftButton);
    EXPECT_EQ(Text(1055), QStringLiteral("Sorry, image not found."));
    Item(40013)->trigger();
    EXPECT_EQ(Text(1055), QStringLiteral("URL Error Log File Not Found!  To start logging invalid "
                                         "links go to options and check 'Log URL Errors'"));

    Item(40004)->trigger();
    ASSERT_FALSE(opened.empty());
    EXPECT_EQ(opened.back(),
              QUrl::fromLocalFile(QStringLiteral(WG_HELP_FILE)).toString().toStdString() + "#1");

    Item(40005)->trigger();
    auto* about = window->findChild<QDialog*>(QStringLiteral("id106"));
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->windowTitle().startsWith(QStringLiteral(" About - Built ")));
    auto* updates = about->findChild<QPushButton*>(QStringLiteral("id1026"));
    ASSERT_NE(updates, nullptr);
    EXPECT_TRUE(updates->isEnabled());
    about->findChild<QPushButton*>(QStringLiteral("ok"))->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window->findChild<QDialog*>(QStringLiteral("id106")), nullptr);
}

TEST_F(MainWindowTest, DownloadDirectoryFieldAndAddressKeys) {
    const std::string typed = (dir.path() / "elsewhere").string();
    auto* field = Widget<QLineEdit>(1176);
    field->setText(QString::fromStdString(typed));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(app->Paths().downloadDir.string(), typed);
    EXPECT_NE(ReadWholeFile(app->Paths().settingsFile).find(typed), std::string::npos);
    EXPECT_EQ(NewestPage(), nullptr);  // Enter there starts no crawl

    chosen = (dir.path() / "chosen").string();
    Click(1177);
    EXPECT_EQ(field->text().toStdString(), chosen);
    EXPECT_EQ(app->Paths().downloadDir.string(), chosen);

    // Up and Down step through the addresses typed before.
    app->RecentUrls().Remember("first.example");
    app->RecentUrls().Remember("second.example");
    auto* address = Widget<QLineEdit>(1000);
    address->clear();
    QTest::keyClick(address, Qt::Key_Down);
    EXPECT_EQ(address->text(), QStringLiteral("second.example"));
    EXPECT_EQ(port->AddressText(), "second.example");
    QTest::keyClick(address, Qt::Key_Down);
    EXPECT_EQ(address->text(), QStringLiteral("first.example"));
    QTest::keyClick(address, Qt::Key_Up);
    EXPECT_EQ(address->text(), QStringLiteral("second.example"));
}

TEST_F(MainWindowTest, ADirectoryThatCannotBeUsedIsRefusedEverywhere) {
    const std::string before = app->Paths().downloadDir.string();
    const std::filesystem::path file = dir.path() / "a-file";
    WriteWholeFile(file, "x");
    auto* field = Widget<QLineEdit>(1176);
    // Enter, leaving the field and Go Fetch all apply the typed directory.
    const std::vector<std::function<void()>> applyWays = {
        [&] { QTest::keyClick(field, Qt::Key_Return); },
        [&] { emit field->editingFinished(); },
        [&] {
            TypeAddress(QStringLiteral("127.0.0.1:9/"));
            Click(1);
        },
    };
    for (std::size_t way = 0; way < applyWays.size(); ++way) {
        SCOPED_TRACE(way);
        told.clear();
        const std::string refused = (file / "below").string();
        field->setText(QString::fromStdString(refused));
        applyWays[way]();
        ASSERT_EQ(told.size(), 1u);
        EXPECT_NE(told[0].find("Cannot use \"" + refused + "\""), std::string::npos) << told[0];
        EXPECT_EQ(app->Paths().downloadDir.string(), before);
        EXPECT_EQ(field->text().toStdString(), before);
        EXPECT_EQ(ReadWholeFile(app->Paths().settingsFile).find(refused), std::string::npos);
        EXPECT_EQ(NewestPage(), nullptr);  // no crawl into some other directory
    }

    // "~/" is the home folder; the field shows the directory in use.
    const std::filesystem::path home = dir.path() / "home";
    std::filesystem::create_directories(home);
    const QByteArray savedHome = qgetenv("HOME");
    qputenv("HOME", QByteArray::fromStdString(home.string()));
    field->setText(QStringLiteral("~/mirrors"));
    emit field->editingFinished();
    qputenv("HOME", savedHome);
    EXPECT_EQ(app->Paths().downloadDir, home / "mirrors");
    EXPECT_EQ(field->text().toStdString(), (home / "mirrors").string());
    EXPECT_TRUE(std::filesystem::is_directory(home / "mirrors"));
}

TEST_F(MainWindowTest, ADesktopThatCannotOpenIsReported) {
    openResult = false;
    const std::vector<std::pair<std::function<void()>, std::string>> cases = {
        {[&] { Item(40004)->trigger(); }, "help.html"},
        {[&] { Item(40002)->trigger(); }, app->Paths().downloadDir.string()},
        {[&] { Click(1175); }, app->Paths().downloadDir.string()},
    };
    for (const auto& [act, named] : cases) {
        SCOPED_TRACE(named);
        window->ViewStatus("");
        act();
        EXPECT_TRUE(Text(1055).startsWith(QStringLiteral("The desktop could not open")));
        EXPECT_NE(Text(1055).toStdString().find(named), std::string::npos);
    }
}

TEST_F(MainWindowTest, NewestPictureIsShownAndOpensOnClick) {
    const std::string picture = (dir.path() / "shot.png").string();
    QImage image(600, 300, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(QString::fromStdString(picture)));
    auto* preview = window->findChild<ImagePreview*>(QStringLiteral("id1190"));
    ASSERT_NE(preview, nullptr);
    port->ShowNewestImage(picture);
    EXPECT_EQ(preview->ShownSize(), QSize(280, 140));
    QTest::mouseClick(preview, Qt::LeftButton);
    ASSERT_FALSE(opened.empty());
    EXPECT_EQ(opened.back(), picture);

    // A file that is no picture keeps the last one; an empty path shows the placeholder.
    port->ShowNewestImage((dir.path() / "missing.png").string());
    EXPECT_EQ(preview->ShownSize(), QSize(280, 140));
    port->ShowNewestImage(std::string());
    QTest::mouseClick(preview, Qt::LeftButton);
    EXPECT_EQ(Text(1055), QStringLiteral("Sorry, image not found."));
}

TEST_F(MainWindowTest, MinimisingWithoutATrayKeepsTheWindowReachable) {
    window->show();
    window->setWindowState(Qt::WindowMinimized);
    EXPECT_TRUE(app->State().Minimised());
    QCoreApplication::processEvents();
    EXPECT_FALSE(window->isHidden());  // the offscreen desktop has no tray
    window->setWindowState(Qt::WindowNoState);
    EXPECT_FALSE(app->State().Minimised());
}

}  // namespace
}  // namespace wg::test
