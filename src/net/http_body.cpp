// The body of an answer: read from the connection into a sink, with the stop,
// cancel and wait rules; and the sink of a page, the connection's buffer.
#include <algorithm>
#include <cerrno>
#include <string_view>

#include "net/fetch_environment.h"
#include "net/http_fetch.h"
#include "net/transfer_slots.h"
#include "platform/clock.h"
#include "util/timing.h"

namespace wg {
namespace {

std::int64_t NowMs() {
    return static_cast<std::int64_t>(platform::SteadyMilliseconds());
}

}  // namespace

std::span<char> PageBufferSink::Space() {
    if (fill_ >= kPageBufferLimit) {
        return {};
    }
    return {connection_.buffer.data() + fill_, kPageBufferLimit - fill_};
}

SinkVerdict PageBufferSink::Take(std::string_view /*bytes*/) {
    if (answer_.received >= kPageBufferLimit) {
        return SinkVerdict::Full;
    }
    fill_ = answer_.received;
    return SinkVerdict::Continue;
}

BodyOutcome ReceiveBody(HttpConnection& c, int slotIndex, HttpAnswer& answer, BodySink& sink) {
    FetchEnvironment& env = *c.environment;
    const FetchOptions options = env.Options();
    TransferSlot* slot = env.Slot(slotIndex);
    const Timing& timing = c.timing;

    std::int64_t lastChunk = NowMs();
    // A body slower than MIN_BODY_RATE over a whole window is given up.
    std::int64_t windowStart = lastChunk;
    std::uint32_t windowBytes = 0;
    auto tooSlow = [&] {
        if (options.minBodyRate <= 0) {
            return false;
        }
        const std::int64_t now = NowMs();
        if (now - windowStart < timing.slowBodyWindowMs) {
            return false;
        }
        const std::uint64_t floor = static_cast<std::uint64_t>(options.minBodyRate) *
                                    static_cast<std::uint64_t>(now - windowStart) / 1000;
        if (answer.received - windowBytes < floor) {
            NoteFailure(slot, FailureKind::Timeout);
            env.SetLastFailure("The server sent the file too slowly.");
            answer.closeAfter = true;
            return true;
        }
        windowStart = now;
        windowBytes = answer.received;
        return false;
    };
    if (slot != nullptr) {
        answer.received = slot->done;
        slot->total = answer.contentLength;
    } else {
        answer.received = 0;
    }
    windowBytes = answer.received;
    sink.Begin();
    // What the sink still holds is written when the body ends.
    auto finish = [&](BodyOutcome outcome) {
        return sink.Finish() ? outcome : BodyOutcome::Failed;
    };

    while (true) {
        if (!c.HasSocket()) {
            answer.closeAfter = true;
            return finish(BodyOutcome::Failed);
        }
        long n = 0;
        int error = 0;
        const std::span<char> space = sink.Space();
        if (!space.empty()) {
            n = c.Receive(space.data(), space.size(), timing.bodyPollMs, &error);
            if (n < 0 && error != ETIMEDOUT) {
                c.lastError = error;
                answer.closeAfter = true;
                return finish(BodyOutcome::Failed);
            }
        }
        if (n < 0) {
            // Quiet for a poll: give up after the body wait, on cancel or stop.
            if (NowMs() - lastChunk > timing.bodyWaitMs || (slot != nullptr && slot->cancel) ||
                env.StopRequested() || tooSlow()) {
                answer.closeAfter = true;
                break;
            }
            continue;
        }
        if (n == 0) {
            // Closed by the server, or the sink has no room.
            if (answer.received == 0 || answer.contentLength == 0) {
                break;
            }
            if (answer.received >= answer.contentLength) {
                break;
            }
            // A server that closed in order sends nothing more on this
            // connection: the rest is asked for on a new one.
            if (!space.empty()) {
                answer.closeAfter = true;
                break;
            }
            const std::int64_t quiet = NowMs() - lastChunk;
            if (quiet > timing.bodyWaitMs || (slot != nullptr && slot->cancel) ||
                (slot != nullptr && slot->status != 200 && quiet > timing.nonOkBodyWaitMs)) {
                answer.closeAfter = true;
                break;
            }
            platform::SleepMs(timing.bodyPollMs);
            continue;
        }

        answer.received += static_cast<std::uint32_t>(n);
        const SinkVerdict verdict = sink.Take({space.data(), static_cast<std::size_t>(n)});
        if (verdict == SinkVerdict::Refused) {
            return BodyOutcome::Refused;
        }
        if (verdict == SinkVerdict::Failed) {
            return BodyOutcome::Failed;
        }
        if (verdict == SinkVerdict::Full) {
            break;
        }

        if (env.StopRequested() ||
            (answer.contentLength != 0 && answer.received >= answer.contentLength)) {
            break;
        }
        if (tooSlow()) {
            break;
        }
        if (slot != nullptr) {
            if (slot->cancel) {
                c.Close();
                break;
            }
            slot->done = answer.received;
        }
        lastChunk = NowMs();
    }
    if (answer.received < kPageBufferLimit) {
        c.buffer[answer.received] = '\0';
    }
    return finish(BodyOutcome::Ended);
}

}  // namespace wg
