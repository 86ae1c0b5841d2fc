// The application as the environment of its workers' transactions: options
// from the settings, the stop flag, the worker slots, the logs, the queues a
// redirect feeds, the cookie jar, the download counter, offline rewriting,
// query-page names, the last-download record, the runtime duplicate check and
// the on-disk size of a file URL.
#pragma once

#include "download/download_environment.h"

namespace wg {

class App;

class AppFetchEnvironment : public DownloadEnvironment {
public:
    explicit AppFetchEnvironment(App& app) : app_(app) {}

    bool HasApp() const override { return true; }
    FetchOptions Options() const override;
    bool StopRequested() const override;
    TransferSlot* Slot(int index) override;
    void RecordUrlError(int status, std::string_view url) override;
    void DebugLine(std::string_view text) override;
    void SetLastFailure(std::string_view text) override;
    void QueuePage(std::string_view url, std::string_view domain) override;
    void OfferDownload(std::string_view url, std::string_view domain) override;
    std::string CookiesFor(std::string_view host) override;
    void StoreCookie(std::string_view host, std::string_view cookie) override;
    void CountDownload(std::uint64_t bytes) override;
    void DiskWriteFailed(int error, std::string_view localName) override;
    void NoteLastDownload(std::string_view localName) override;
    void ClaimLocalFile(std::string_view localName) override;
    void ReleaseLocalFile(std::string_view localName) override;
    std::unique_ptr<PageRewriter> StartRewrite(const PageLocation& page) override;
    bool MakeDynamicPage(std::string& localName, std::size_t queryPos) override;
    void FileSaved(std::string_view localName) override;
    std::optional<std::uint64_t> SizeOnDisk(std::string_view url) override;
    bool IsRuntimeDuplicate(std::string_view localName) override;

private:
    App& app_;
};

}  // namespace wg
