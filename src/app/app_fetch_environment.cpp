#include "app/app_fetch_environment.h"
#include "app/crawl_work.h"

#include <algorithm>
#include <string>

#include "app/app_parts.h"
#include "app/crawl_fetcher.h"
#include "download/dynamic_pages.h"
#include "download/rewrite_links.h"
#include "download/save_names.h"
#include "download/save_paths.h"
#include "platform/files.h"
#include "settings/type_filters.h"
#include "util/log_file.h"
#include "util/text.h"

namespace wg {

FetchOptions AppFetchEnvironment::Options() const {
    const AppSettings& s = app_.Settings();
    FetchOptions o;
    o.minFileSize = s.minFileSize.load();
    o.maxFileSize = s.maxFileSize.load();
    o.headerTimeoutMs = std::clamp(s.headerTimeout.load(), 1, 86400) * 1000;
    o.minBodyRate = std::max(0, s.minBodyRate.load());
    o.noDownload = s.noDownload.load();
    o.sendCookie = s.sendCookie.load();
    o.logDebug = s.logDebug.load();
    o.webPagesWanted = (s.dft.load() & kGroupWebPages) != 0;
    o.fileUrlMode = app_.State().DownloadingUserFile();
    const CrawlScope scope = app_.Port().SelectedScope();
    o.scopeFollowsLinks = scope == CrawlScope::AllLinked || scope == CrawlScope::WithinDomain;
    o.trackLastDownload = app_.State().TrackLastDownload();
    o.userAgent = s.userAgent.Get();
    o.caFile = s.caFile.Get();
    o.keepAlive = s.keepAlive.load();
    return o;
}

bool AppFetchEnvironment::StopRequested() const {
    return app_.State().WorkersStopping();
}

TransferSlot* AppFetchEnvironment::Slot(int index) {
    if (index < 0 || index >= kTransferSlotCount) {
        return nullptr;
    }
    return &app_.Slots()[index];
}

void AppFetchEnvironment::RecordUrlError(int status, std::string_view url) {
    app_.RecordUrlError(status, url);
}

void AppFetchEnvironment::DebugLine(std::string_view text) {
    DebugLog("%.*s", static_cast<int>(text.size()), text.data());
}

void AppFetchEnvironment::SetLastFailure(std::string_view text) {
    app_.Work().SetRejectReason(text);
}

void AppFetchEnvironment::QueuePage(std::string_view url, std::string_view /*domain*/) {
    const CrawlScope scope = app_.Port().SelectedScope();
    (void)app_.Work().AddSite(url, scope == CrawlScope::AllLinked ? 1 : 0,
                              scope == CrawlScope::WithinDomain ? 1 : 0, 0, true);
}

void AppFetchEnvironment::OfferDownload(std::string_view url, std::string_view domain) {
    app_.Work().AddFileIfWanted(url, domain, false);
}

std::string AppFetchEnvironment::CookiesFor(std::string_view host) {
    return app_.Cookies().CookieHeaderFor("http://" + std::string(host));
}

void AppFetchEnvironment::StoreCookie(std::string_view host, std::string_view cookie) {
    app_.Cookies().Store("http://" + std::string(host), cookie);
}

void AppFetchEnvironment::CountDownload(std::uint64_t bytes) {
    app_.Counters().filesDownloaded.fetch_add(1);
    app_.Tally().FileSaved(bytes);
    app_.RefreshCounterText(Counter::FilesDownloaded);
}

void AppFetchEnvironment::DiskWriteFailed(int error, std::string_view localName) {
    app_.DiskWriteFailed(error, localName);
}

void AppFetchEnvironment::NoteLastDownload(std::string_view localName) {
    const CrawlScope scope = app_.Port().SelectedScope();
    if ((app_.Settings().dft.load() & kGroupWebPages) != 0 && scope != CrawlScope::AllLinked &&
        scope != CrawlScope::WithinDomain) {
        app_.State().SetTrackLastDownload(false);
    }
    app_.LastFiles().Note(localName);
}

std::unique_ptr<PageRewriter> AppFetchEnvironment::StartRewrite(const PageLocation& page) {
    return std::make_unique<PageRewriter>(app_.RewriteOptionsFor(page.host), page);
}

RewriteOptions App::RewriteOptionsFor(std::string_view pageHost) {
    RewriteOptions options = RewriteOptionsFrom(parts_->settings);
    const bool anyHost = parts_->port.SelectedScope() == CrawlScope::AllLinked;
    const std::string domain = SiteDomainOf(pageHost);
    // What the crawl takes by its rules is answered without a look at the
    // disk; anything else counts when an earlier crawl saved it.
    options.willSave = [this, anyHost, domain](std::string_view url, bool /*isSource*/) {
        const std::size_t hostStart = url.find("://") + 3;
        const std::string host =
            ToLowerAscii(url.substr(hostStart, url.find_first_of(":/", hostStart) - hostStart));
        const bool inReach =
            anyHost || (host.size() >= domain.size() &&
                        host.compare(host.size() - domain.size(), domain.size(), domain) == 0);
        if (inReach) {
            // Pages (a name without an extension, a directory, a page type)
            // are taken with the "Web Pages" type, which every edited page has on.
            const std::string_view path = url.substr(0, url.find('?'));
            const std::size_t slash = path.rfind('/');
            const std::size_t dot = path.rfind('.');
            if (dot == std::string_view::npos || dot < slash || IsWebPageExtension(path, dot) ||
                CheckFileWanted(parts_->settings, url, {}, false) == FileWanted::Add) {
                return true;
            }
        }
        return FindOnDisk(url, SaveNameOptionsFrom(parts_->settings),
                          parts_->dirSearch.DiskSearchFor());
    };
    return options;
}

void AppFetchEnvironment::ClaimLocalFile(std::string_view localName) {
    app_.Fetcher().LocalFiles().Claim(localName);
}

void AppFetchEnvironment::ReleaseLocalFile(std::string_view localName) {
    app_.Fetcher().LocalFiles().Release(localName);
}

bool AppFetchEnvironment::MakeDynamicPage(std::string& localName, std::size_t queryPos) {
    DynamicPageOptions options;
    options.singleRedirectParam = app_.Settings().singleRedirectParam.load();
    options.defaultType = app_.Settings().redirDefaultType.load();
    RedirectFileList list = app_.RedirectFiles();
    DynamicPageLog debug;
    if (app_.Settings().logDebug.load()) {
        debug = [this](std::string_view text) { DebugLine(text); };
    }
    return wg::MakeDynamicPage(localName, queryPos, options, list, {}, debug);
}

void AppFetchEnvironment::FileSaved(std::string_view localName) {
    RedirectFileList list = app_.RedirectFiles();
    DynamicPageLog debug;
    if (app_.Settings().logDebug.load()) {
        debug = [this](std::string_view text) { DebugLine(text); };
    }
    CopyIndexForScripts(localName, list, {}, debug);
}

std::optional<std::uint64_t> AppFetchEnvironment::SizeOnDisk(std::string_view url) {
    // A file cut short waits under its partial name; a whole one stands under
    // its own.
    const SaveNameOptions options = SaveNameOptionsFrom(app_.Settings());
    if (const std::optional<std::string> saved = SavedPathFor(url, options)) {
        const std::int64_t partial = platform::FileSize(*saved + std::string(kPartialSuffix));
        if (partial >= 0) {
            return static_cast<std::uint64_t>(partial);
        }
    }
    std::string found;
    if (!FindOnDisk(url, options, app_.Directories().DiskSearchFor(), &found) || found.empty()) {
        return std::nullopt;
    }
    const std::int64_t size = platform::FileSize(found);
    if (size < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(size);
}

bool AppFetchEnvironment::IsRuntimeDuplicate(std::string_view localName) {
    return app_.Dupes().CheckDownload(std::string(localName));
}

}  // namespace wg
