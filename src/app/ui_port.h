// Everything the engine asks of a window. The desktop program, the console
// front end and the tests each implement it. Every method may be called from
// any thread; an implementation hands work to its own user-interface thread
// where it needs to. Questions block the calling thread until answered.
#pragma once

#include <string>
#include <string_view>

#include "crawl/url_record.h"

namespace wg {

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Icon { None, Information, Warning, Error, Question };
enum class Answer { Ok, Cancel, Yes, No };

// The five counters of the main window.
enum class Counter { LinksToGrubble, ToDownload, InProcess, FilesDownloaded, UrlsScanned };

// The four scope buttons of the main window.
enum class CrawlScope { OnlyThisPage, WithinDomain, AllLinked, FileUrl };

// What the start-up wizard reported, for front ends that have one.
struct WizardOutcome {
    bool exitRequested = false;  // the user chose to leave the program
    bool loadState = false;      // the user asked to load the saved state
};

class UiPort {
public:
    virtual ~UiPort() = default;

    // Whether a main window exists. Without one no worker is started.
    virtual bool HasMainWindow() const = 0;

    // The status line.
    virtual void ShowStatus(std::string_view text) = 0;
    virtual void AppendStatus(std::string_view text) = 0;

    // A counter's text, already formatted by the engine.
    virtual void SetCounterText(Counter counter, std::string_view text) = 0;

    // Message boxes.
    virtual Answer Ask(std::string_view text, std::string_view caption, Buttons buttons,
                       Icon icon) = 0;
    virtual void Tell(std::string_view text, std::string_view caption, Icon icon) = 0;

    // Lets the user interface handle what is pending; called by long operations
    // on the main thread and by the main loop.
    virtual void ProcessMessages() = 0;

    // Notifications with do-nothing defaults.
    virtual void SetCrawlRunning(bool /*running*/) {}
    virtual void SetPauseState(bool /*paused*/) {}
    virtual void SetScopeButtons(bool /*allLinked*/, bool /*withinDomain*/) {}
    virtual void SetAddressText(std::string_view /*text*/) {}
    virtual std::string AddressText() const { return {}; }
    virtual void SetStopAddingHistoryChecked(bool /*checked*/) {}
    virtual void QueueViewerEmptied(Counter /*queue*/) {}
    // A page record left "Links To Grubble" (an open viewer drops it).
    virtual void PageRecordGone(const UrlRecord& /*record*/) {}
    virtual CrawlScope SelectedScope() const { return CrawlScope::OnlyThisPage; }
    // The preview box: the newest picture, or the placeholder for an empty path.
    virtual void ShowNewestImage(const std::string& /*path*/) {}
    virtual bool QueueViewerOpen() const { return false; }

    // The small progress window of long background work (building the
    // duplication data): opened with a text, given new texts, closed.
    virtual void OpenProgress(std::string_view /*text*/) {}
    virtual void SetProgressText(std::string_view /*text*/) {}
    virtual void CloseProgress() {}

    // The start-up wizard; front ends without one report nothing.
    virtual WizardOutcome RunWizard() { return {}; }

    // Choosers; an empty result means the user cancelled.
    virtual std::string ChooseOpenFile(std::string_view /*title*/, std::string_view /*filter*/,
                                       std::string_view /*startDir*/) {
        return {};
    }
    virtual std::string ChooseSaveFile(std::string_view /*title*/, std::string_view /*filter*/,
                                       std::string_view /*startDir*/) {
        return {};
    }
    virtual std::string ChooseFolder(std::string_view /*title*/, std::string_view /*startDir*/) {
        return {};
    }

    // Opens a file, directory or URL with the desktop. False when that failed.
    virtual bool OpenWithDesktop(const std::string& /*target*/) { return false; }
};

}  // namespace wg
