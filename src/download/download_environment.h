// What a transaction that keeps its body needs from the program around it,
// besides what the transport needs: the steps other parts of the engine take
// on a file (rewriting a saved page, naming a query page, the duplicate check,
// counting), the claims on local names and the resume test of "File URL".
//
// The base class answers as a connection without an application does:
// nothing rewritten, renamed, counted or claimed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "download/rewrite_links.h"
#include "net/fetch_environment.h"

namespace wg {

class DownloadEnvironment : public FetchEnvironment {
public:
    // Size of the file a URL was saved as in the download directory, when it is
    // there (the resume test of the "File URL" mode).
    virtual std::optional<std::uint64_t> SizeOnDisk(std::string_view /*url*/) {
        return std::nullopt;
    }

    // The offline rewriter of a saved page, made when its first HTML chunk
    // arrives; null: the page is saved as it came.
    virtual std::unique_ptr<PageRewriter> StartRewrite(const PageLocation& /*page*/) {
        return nullptr;
    }
    // Gives a query page its own local name (may rename `localName`); false
    // when the name is to be cut at the '?' instead.
    virtual bool MakeDynamicPage(std::string& /*localName*/, std::size_t /*queryPos*/) {
        return false;
    }
    // A file now stands whole under its own name (the pages that wait for a
    // site's index.html are served from here).
    virtual void FileSaved(std::string_view /*localName*/) {}
    // The runtime duplicate check of a finished file; true when it was a
    // duplicate (and has been dealt with).
    virtual bool IsRuntimeDuplicate(std::string_view /*localName*/) { return false; }
    // A file kept whole under its own name, with its size on disk.
    virtual void CountDownload(std::uint64_t /*bytes*/) {}
    // A file of the download directory could not be created or written: the
    // system error and the local name. Nothing of it is kept under its name.
    virtual void DiskWriteFailed(int /*error*/, std::string_view /*localName*/) {}
    virtual void NoteLastDownload(std::string_view /*localName*/) {}
    // A local file is about to be written: waits while another transaction
    // writes the same name. Every claim is released.
    virtual void ClaimLocalFile(std::string_view /*localName*/) {}
    virtual void ReleaseLocalFile(std::string_view /*localName*/) {}
};

}  // namespace wg
