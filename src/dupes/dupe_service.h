// The duplication data of a run: the runtime check of finished downloads
// against the files kept so far, the build and the update of the list from the
// download directories (on a thread of their own), and "Dupe.bin" on disk.
// What it needs from the program around it comes through a DupeHost.
#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "dupes/dupe_data.h"

namespace wg {

class DupeHost {
public:
    virtual ~DupeHost() = default;

    // Where "Dupe.bin" (and the older "Dupe.dat") live.
    virtual std::filesystem::path ProgramDir() const = 0;
    // RUNTIME_DUPLICATE_DETECT and LOGDEBUG.
    virtual bool RuntimeCheckOn() const = 0;
    virtual bool DebugLogging() const = 0;
    // The program is leaving: a walk ends early.
    virtual bool Leaving() const = 0;
    // Held work: no worker takes an item (the list is being read).
    virtual bool WorkHeld() const = 0;
    virtual void SetWorkHeld(bool on) = 0;
    // The directories a build or an update walks, in order.
    virtual std::vector<std::string> Directories() = 0;
    // Either queue holds something (the status after a load says so).
    virtual bool HasQueuedWork() = 0;
    virtual void ShowStatus(std::string_view text) = 0;
    virtual void AppendStatus(std::string_view text) = 0;
    virtual void OpenProgress(std::string_view title) = 0;
    virtual void SetProgressText(std::string_view text) = 0;
    virtual void CloseProgress() = 0;
    // A Yes/No question captioned "Warning"; true for Yes.
    virtual bool Confirm(std::string_view text, bool informationIcon) = 0;
};

class DupeService {
public:
    explicit DupeService(DupeHost& host) : host_(host) {}
    ~DupeService() { JoinThread(); }
    DupeService(const DupeService&) = delete;
    DupeService& operator=(const DupeService&) = delete;

    // The runtime check of a file a download has just written: true when it
    // was deleted as a duplicate of a kept file (or was empty).
    bool CheckDownload(const std::string& path);
    // The build (from nothing) and the update (new names only) of the list
    // from the host's directories; each ends by saving "Dupe.bin". They run
    // on the calling thread; the Start forms run them on a thread of their
    // own and answer false when such a thread is already running.
    void Build();
    void Update();
    bool StartBuild();
    // Asks first (the update may take long); false when declined or busy.
    bool StartUpdate();
    // Waits for a build or update thread to end.
    void JoinThread();
    // Frees every record (the list stays, empty).
    void Release();
    // Writes "Dupe.bin" when the list exists.
    void Save();
    // Reads "Dupe.bin" (migrating "Dupe.dat") into the list with work held.
    void Load();
    // Deletes "Dupe.dat" and "Dupe.bin".
    void DeleteFiles();
    // The menu command: asks, then releases the list and deletes its files.
    void Erase();

    // The list must be built again (the runtime check was switched).
    void MarkRebuild() { rebuild_.store(true); }
    bool RebuildWanted() const { return rebuild_.load(); }
    // True once after MarkRebuild.
    bool TakeRebuild() { return rebuild_.exchange(false); }

    // The list as it stands, under its lock.
    void WithData(const std::function<void(DupeData& data, bool& exists)>& look);

private:
    void ReadFileLocked(bool showProgress);
    void EnsureFileReadLocked();
    bool SaveLocked();
    long RecordDirectoryLocked(const std::string& dir);
    long UpdateDirectoryLocked(const std::string& dir,
                               std::unordered_map<std::string, std::size_t>& byName);

    DupeHost& host_;
    std::mutex mutex_;  // the list and the two flags below
    DupeData data_;
    bool exists_ = false;  // the list was created
    // The stored list has been read this run (or replaced by a build, or
    // erased): saving the list no longer loses stored records.
    bool fileRead_ = false;
    std::atomic<bool> rebuild_{false};
    std::thread thread_;  // a build or update; one caller's thread only
    std::atomic<bool> threadBusy_{false};
};

}  // namespace wg
