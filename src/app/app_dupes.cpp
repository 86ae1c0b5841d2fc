// The App as its duplication data sees it, and the App's part in it: which
// directories a build walks and when the list must be built again.
#include "app/app_parts.h"
#include "dupes/dupe_service.h"

namespace wg {

class AppDupeHost final : public DupeHost {
public:
    explicit AppDupeHost(App& app) : app_(app) {}

    std::filesystem::path ProgramDir() const override { return app_.Paths().programDir; }
    bool RuntimeCheckOn() const override { return app_.Settings().runtimeDuplicateDetect.load(); }
    bool DebugLogging() const override { return app_.Settings().logDebug.load(); }
    bool Leaving() const override { return app_.State().ExitRequested(); }
    bool WorkHeld() const override { return app_.State().WorkHeld(); }
    void SetWorkHeld(bool on) override { app_.State().SetWorkHeld(on); }
    // The download directory (or the first check directory) and, when
    // searched, its sub-directories.
    std::vector<std::string> Directories() override {
        AppParts& parts = *app_.parts_;
        std::vector<std::string> dirs;
        if (parts.settings.searchDlSubDirs.load()) {
            if (const PublishedList::Snapshot list = parts.dirSearch.SubDirectories().Get()) {
                for (const std::string& dir : *list) {
                    if (dir.empty()) {
                        break;
                    }
                    dirs.push_back(dir);
                }
            }
        }
        std::string first = parts.dirSearch.GetCheckDir(0).value_or(std::string());
        if (first.empty()) {
            first = parts.paths.downloadDir.string();
        }
        dirs.push_back(first);
        return dirs;
    }
    bool HasQueuedWork() override { return app_.Queues().HasQueuedWork(); }
    void ShowStatus(std::string_view text) override { app_.ShowStatus(text); }
    void AppendStatus(std::string_view text) override { app_.AppendStatus(text); }
    void OpenProgress(std::string_view title) override {
        app_.Port().OpenProgress(std::string(title));
    }
    void SetProgressText(std::string_view text) override {
        app_.Port().SetProgressText(std::string(text));
    }
    void CloseProgress() override { app_.Port().CloseProgress(); }
    bool Confirm(std::string_view text, bool informationIcon) override {
        return app_.Port().Ask(std::string(text), "Warning", Buttons::YesNo,
                               informationIcon ? Icon::Information : Icon::Question) == Answer::Yes;
    }

private:
    App& app_;
};

std::unique_ptr<DupeHost> MakeDupeHost(App& app) {
    return std::make_unique<AppDupeHost>(app);
}

}  // namespace wg
