// The options whose change does more than store a value: it starts or
// ends workers, loads the history, opens a log or asks for a rebuild.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace wg {

class App;
struct AppParts;

class OptionSetters {
public:
    OptionSetters(App& app, AppParts& parts) : app_(app), parts_(&parts) {}

    void SetUrlThreadCount(int count);
    void SetDownloadThreadCount(int count);
    void SetThreadPriority(int priority);
    void SetUserAgent(std::string_view text);
    void SetMinDownloadQueue(int count);
    void SetMaxFileSize(int size);
    // IGNORE_LIST: turning it on loads the download history when not loaded yet.
    void SetIgnoreList(bool on);
    // Sets LOG_URL_ERRORS and opens or closes the URL error log beside the state file.
    void SetUrlErrorLogging(bool on);
    void SetPeriodicSave(bool on);
    // SHOW_LAST_IMAGE: on, the last picture comes back after 3 s; off, the
    // preview shows its placeholder at once.
    void SetShowLastImage(bool on);
    // RUNTIME_DUPLICATE_DETECT; a change asks for the list to be built again.
    void SetRuntimeDuplicateDetect(bool on);

private:
    App& app_;
    AppParts* parts_;
};

}  // namespace wg
