#pragma once

struct whisper_context;

namespace sv::bench {

// What whisper.cpp accounted for since the context's timings were last reset.
// whisper.cpp exposes run counts only through whisper_print_timings, so they
// are read back from its log; `valid` is false when that text did not parse.
struct StepTimings {
    bool valid = false;
    double encodeMs = 0;
    int encodeRuns = 0;
    double decodeMs = 0; // single-token decoder passes: one per generated token
    int decodeRuns = 0;
    // Multi-token passes: the start-of-transcript prompt (a few tokens, which
    // whisper.cpp counts as a batch) and long prompts.
    double batchMs = 0;
    double promptMs = 0;
    double melMs = 0;
    double sampleMs = 0;
    int fallbacks = 0; // temperature retries (log-probability or entropy)
};

// Replaces whisper.cpp's log sink with one that drops everything except what
// readTimings() asks for. Call once, before the first context is created.
void silenceWhisperLog();

// Reads and then resets `context`'s timings. Same thread as the last
// whisper_full on it.
StepTimings readTimings(whisper_context *context);

} // namespace sv::bench
