#include "WhisperTimings.h"

#include <whisper.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>

namespace sv::bench {

namespace {

bool g_capturing = false;
std::string g_captured;

void sink(ggml_log_level, const char *text, void *)
{
    if (g_capturing)
        g_captured += text;
}

// "<name> time = T ms / N runs (...)"
bool parseRuns(const std::string &line, const char *name, double &ms, int &runs)
{
    const std::string key = std::string(name) + " time =";
    const size_t at = line.find(key);
    if (at == std::string::npos)
        return false;
    return std::sscanf(line.c_str() + at + key.size(), " %lf ms / %d runs", &ms, &runs) == 2;
}

} // namespace

void silenceWhisperLog()
{
    whisper_log_set(sink, nullptr);
}

StepTimings readTimings(whisper_context *context)
{
    g_captured.clear();
    g_capturing = true;
    whisper_print_timings(context);
    g_capturing = false;
    whisper_reset_timings(context);

    StepTimings t;
    int parsed = 0;
    std::istringstream lines(g_captured);
    std::string line;
    while (std::getline(lines, line)) {
        int sampleRuns = 0, batchRuns = 0, promptRuns = 0, failH = 0;
        if (parseRuns(line, "encode", t.encodeMs, t.encodeRuns) || parseRuns(line, "decode", t.decodeMs, t.decodeRuns) ||
            parseRuns(line, "batchd", t.batchMs, batchRuns) || parseRuns(line, "prompt", t.promptMs, promptRuns) ||
            parseRuns(line, "sample", t.sampleMs, sampleRuns))
            ++parsed;
        const size_t mel = line.find("mel time =");
        if (mel != std::string::npos && std::sscanf(line.c_str() + mel, "mel time = %lf ms", &t.melMs) == 1)
            ++parsed;
        const size_t at = line.find("fallbacks =");
        if (at != std::string::npos && std::sscanf(line.c_str() + at, "fallbacks = %d p / %d h", &t.fallbacks, &failH) == 2)
            t.fallbacks += failH;
    }
    // whisper_print_timings reports a count of 0 as 1; a zero total means none.
    if (t.decodeMs == 0)
        t.decodeRuns = 0;
    t.valid = parsed == 6;
    return t;
}

} // namespace sv::bench
