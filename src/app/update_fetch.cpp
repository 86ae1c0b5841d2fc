#include "app/update_fetch.h"

#include <openssl/evp.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <span>
#include <system_error>
#include <vector>

#include "net/http_fetch.h"
#include "net/http_request.h"
#include "platform/files.h"
#include "platform/threads.h"

namespace wg {

namespace {

constexpr std::size_t kChunkBytes = 65536;
constexpr auto kPumpInterval = std::chrono::milliseconds(20);

// The body into memory, refused once it passes its limit.
class TextSink final : public BodySink {
public:
    explicit TextSink(std::size_t limit) : limit_(limit) {}

    bool RefusesLength(const HttpAnswer& answer) override {
        tooLarge = answer.contentLength > limit_;
        return tooLarge;
    }
    std::span<char> Space() override { return chunk_; }
    SinkVerdict Take(std::string_view bytes) override {
        if (text.size() + bytes.size() > limit_) {
            tooLarge = true;
            return SinkVerdict::Refused;
        }
        text.append(bytes);
        return SinkVerdict::Continue;
    }

    std::string text;
    bool tooLarge = false;

private:
    std::size_t limit_;
    std::vector<char> chunk_ = std::vector<char>(kChunkBytes);
};

struct DigestContext {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    DigestContext() {
        if (ctx != nullptr && EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr) != 1) {
            EVP_MD_CTX_free(ctx);
            ctx = nullptr;
        }
    }
    ~DigestContext() { EVP_MD_CTX_free(ctx); }
    DigestContext(const DigestContext&) = delete;
    DigestContext& operator=(const DigestContext&) = delete;
};

// The body into an open file and the digest, refused once it passes its limit.
class HashingFileSink final : public BodySink {
public:
    HashingFileSink(std::FILE* file, std::uint64_t limit) : file_(file), limit_(limit) {}

    bool RefusesLength(const HttpAnswer& answer) override {
        tooLarge = answer.contentLength > limit_;
        return tooLarge;
    }
    std::span<char> Space() override { return chunk_; }
    SinkVerdict Take(std::string_view bytes) override {
        if (written + bytes.size() > limit_) {
            tooLarge = true;
            return SinkVerdict::Refused;
        }
        if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
            error = errno != 0 ? errno : EIO;
            return SinkVerdict::Failed;
        }
        if (digest_.ctx == nullptr ||
            EVP_DigestUpdate(digest_.ctx, bytes.data(), bytes.size()) != 1) {
            error = EIO;
            return SinkVerdict::Failed;
        }
        written += bytes.size();
        return SinkVerdict::Continue;
    }
    bool FinalDigest(Sha256Digest& out) {
        unsigned int length = 0;
        return digest_.ctx != nullptr &&
               EVP_DigestFinal_ex(digest_.ctx, out.data(), &length) == 1 && length == out.size();
    }

    std::uint64_t written = 0;
    bool tooLarge = false;
    int error = 0;

private:
    std::FILE* file_;
    std::uint64_t limit_;
    DigestContext digest_;
    std::vector<char> chunk_ = std::vector<char>(kChunkBytes);
};

// One request and its answer's body into `sink`. `tooLarge` and `failed`
// read the sink's own verdicts.
UpdateFetchEnd Exchange(HttpConnection& c, UpdateFetchEnvironment& env, const std::string& name,
                        BodySink& sink, const std::function<bool()>& tooLarge,
                        const std::function<bool()>& failed) {
    c.environment = &env;
    TransferSlot& slot = env.OwnSlot();
    slot.ResetForItem();
    if (c.dnsFailed) {
        return UpdateFetchEnd::Unusable;
    }
    const bool kept = KeepOpenConnection(c);
    c.buffer[0] = '\0';
    HttpGet get;
    get.requestName = RequestNameFor(name);
    HttpAnswer answer;
    const AnswerOutcome head = RequestAnswer(c, get, env.Options(), 0, kept, answer, sink);
    if (head == AnswerOutcome::Unusable) {
        return UpdateFetchEnd::Unusable;
    }
    if (head == AnswerOutcome::Refused) {
        return tooLarge() ? UpdateFetchEnd::TooLarge : UpdateFetchEnd::Refused;
    }
    // A redirect's page is not what was asked for; it is not followed either.
    if (slot.status.load() != 200 || answer.redirected) {
        c.Close();
        return UpdateFetchEnd::Refused;
    }
    const BodyOutcome body = ReceiveBody(c, 0, answer, sink);
    const bool incomplete = answer.contentLength != 0 && answer.received < answer.contentLength;
    UpdateFetchEnd end = UpdateFetchEnd::Complete;
    if (failed()) {
        end = UpdateFetchEnd::WriteFailed;
    } else if (tooLarge()) {
        end = UpdateFetchEnd::TooLarge;
    } else if (body == BodyOutcome::Failed || incomplete || env.StopRequested() ||
               slot.failure.load() == FailureKind::Timeout) {
        end = UpdateFetchEnd::Cut;
    }
    if (end != UpdateFetchEnd::Complete || answer.closeAfter) {
        c.Close();
    }
    return end;
}

}  // namespace

UpdateFetchResult FetchUpdateText(HttpConnection& connection, UpdateFetchEnvironment& env,
                                  const std::string& name, std::size_t limit) {
    TextSink sink(limit);
    UpdateFetchResult result;
    result.end = Exchange(
        connection, env, name, sink, [&] { return sink.tooLarge; }, [] { return false; });
    result.bytes = sink.text.size();
    if (result.end == UpdateFetchEnd::Complete) {
        result.body = std::move(sink.text);
    }
    return result;
}

UpdateFetchResult FetchUpdateFile(HttpConnection& connection, UpdateFetchEnvironment& env,
                                  const std::string& name, const std::filesystem::path& target,
                                  std::uint64_t limit,
                                  const std::optional<Sha256Digest>& expected) {
    UpdateFetchResult result;
    std::filesystem::path partial = target;
    partial += ".part";
    int error = 0;
    platform::FilePtr file = platform::OpenFile(partial, "wb", &error);
    if (!file) {
        result.end = UpdateFetchEnd::WriteFailed;
        result.error = error;
        return result;
    }
    HashingFileSink sink(file.get(), limit);
    result.end = Exchange(
        connection, env, name, sink, [&] { return sink.tooLarge; },
        [&] { return sink.error != 0; });
    result.bytes = sink.written;
    result.error = sink.error;
    if (const int closeError = platform::CloseFile(file);
        closeError != 0 && result.end == UpdateFetchEnd::Complete) {
        result.end = UpdateFetchEnd::WriteFailed;
        result.error = closeError;
    }
    if (result.end == UpdateFetchEnd::Complete && !sink.FinalDigest(result.sha256)) {
        result.end = UpdateFetchEnd::WriteFailed;
        result.error = EIO;
    }
    if (result.end == UpdateFetchEnd::Complete && expected && *expected != result.sha256) {
        result.end = UpdateFetchEnd::Mismatch;
    }
    if (result.end == UpdateFetchEnd::Complete) {
        if (const int moveError = platform::MoveFile(partial, target); moveError != 0) {
            result.end = UpdateFetchEnd::WriteFailed;
            result.error = moveError;
        } else {
            return result;
        }
    }
    (void)platform::ForceDelete(partial);
    return result;
}

void RunWhilePumping(const std::function<void()>& work, const std::function<void()>& pump) {
    std::promise<void> ended;
    std::future<void> done = ended.get_future();
    std::thread transfer;
    try {
        transfer = platform::StartThread("wg-update", [&work, &ended] {
            work();
            ended.set_value();
        });
    } catch (const std::system_error&) {
        work();  // no thread to be had: the window waits instead
        return;
    }
    while (done.wait_for(kPumpInterval) != std::future_status::ready) {
        if (pump) {
            pump();
        }
    }
    transfer.join();
}

}  // namespace wg
