// The answer reader on arbitrary bytes: the status line and header lines, then
// the body into the page buffer and into a file. No read or write out of
// bounds, no crash, no hang, nothing written outside the working directory.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "download/transaction_files.h"
#include "net/http_fetch.h"
#include "net/transfer_slots.h"
#include "platform/socket.h"
#include "util/timing.h"

namespace {

using namespace wg;

class FuzzEnvironment : public DownloadEnvironment {
public:
    bool HasApp() const override { return true; }
    FetchOptions Options() const override {
        FetchOptions o;
        o.sendCookie = true;
        o.minFileSize = 10;
        o.maxFileSize = 50000;
        return o;
    }
    TransferSlot* Slot(int index) override { return index == 0 ? &slot : nullptr; }
    TransferSlot slot;
};

// Feeds `bytes` as the server's whole answer, then the end of the stream.
bool Feed(HttpConnection& c, std::string_view bytes) {
    platform::Socket server;
    int error = 0;
    if (!platform::Socket::Pair(c.Socket(), server, &error)) {
        return false;
    }
    server.SendAll(bytes.data(), bytes.size());
    server.Shutdown();
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool once = [] {
        const auto dir = std::filesystem::temp_directory_path() / "wg-response-fuzz";
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        return true;
    }();
    (void)once;
    if (size > 100000) {
        return 0;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    FuzzEnvironment env;
    for (const bool toFile : {false, true}) {
        auto c = std::make_unique<HttpConnection>();
        c->environment = &env;
        for (int* wait :
             {&c->timing.headerByteWaitMs, &c->timing.headerRetryMs, &c->timing.headerWaitMs,
              &c->timing.bodyPollMs, &c->timing.bodyWaitMs, &c->timing.nonOkBodyWaitMs}) {
            *wait = 0;
        }
        c->host = "127.0.0.1";
        c->port = "80";
        c->protocol = "HTTP/1.0";
        env.slot.done = toFile ? 3 : 0;  // a resumed file
        if (!Feed(*c, bytes)) {
            return 0;
        }
        HttpAnswer answer;
        FileSink file(*c, answer, "page.jpg", env, env.Options(), &env.slot, false);
        PageBufferSink page(*c, answer);
        BodySink& sink = toFile ? static_cast<BodySink&>(file) : page;
        HttpGet get;
        get.expectedTotal = 5;
        if (ReadResponseHeaders(*c, get, 0, answer, sink) != HeadOutcome::Read) {
            continue;
        }
        if (toFile) {
            file.file = platform::OpenFile("body.bin", "wb");
        }
        (void)ReceiveBody(*c, 0, answer, sink);
    }
    return 0;
}
