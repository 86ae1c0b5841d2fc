// The pauses, polls and timeouts of the engine in one place. The programs
// always use the values below; tests scale them down so that the suite stays
// fast. An App holds one (set before its workers start) and hands it to every
// connection it makes.
#pragma once

namespace wg {

struct Timing {
    int mainLoopMs = 50;           // main loop rhythm
    int pageIdleMs = 500;          // page worker poll when there is nothing to do
    int downloadIdleMs = 250;      // download worker poll
    int exitWaitRounds = 20;       // rounds of waiting for workers when leaving the main loop
    int exitWaitMs = 300;          // one such round
    int stopSettleMs = 200;        // Stop, StopAll, shutdown pauses
    int finalPauseMs = 100;        // last pause before shutdown
    int connectRetryMs = 5000;     // between connect tries
    int headerWaitMs = 10000;      // waiting for response headers
    int bodyWaitMs = 12000;        // waiting for body bytes
    int headerByteWaitMs = 1000;   // waiting for one more byte of a header line
    int headerRetryMs = 100;       // pause after such a wait ran out
    int bodyPollMs = 500;          // a body wait step
    int nonOkBodyWaitMs = 1000;    // body wait of an answer whose status is not 200
    int connectTimeoutMs = 10000;  // one connect attempt
    int inProcessPollMs = 250;     // waiting for busy slots to drain
    int periodicSaveMs = 300000;   // periodic state save
    int slowBodyWindowMs = 30000;  // a body is measured against MIN_BODY_RATE over this
};

}  // namespace wg
