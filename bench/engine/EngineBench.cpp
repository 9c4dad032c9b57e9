// engine_bench: the engine time of one captioner step for several audio
// lengths, whisper.cpp's defaults against the runtime Sonivane uses, all in
// one process and interleaved, so each figure is a side-by-side taken under
// the same machine load.
//
//   engine_bench [--runs N] [--variants] SECONDS:MODEL...
//   engine_bench --memory tuned|defaults SECONDS:MODEL
//
// Each SECONDS:MODEL pairs an audio length with the model to transcribe it
// (a speaking model whose text suits that length). Tables go to stdout in
// Markdown.

#include "DirectStep.h"
#include "SpeechLikeNoise.h"
#include "WhisperTimings.h"
#include "bench/common/Stats.h"
#include "platform/AudioContext.h"
#include "platform/WhisperEngine.h"

#include <whisper.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace sv;
using namespace sv::bench;

namespace {

struct Case {
    double seconds = 0;
    std::string model;
};

// One way of running a step, measured alongside the others of its case.
struct Probe {
    std::string settings; // row label
    int threads = 0;
    int audioContext = 0;
    std::function<DirectStep::Result()> run;
    DirectStep::Result first;
    std::vector<DirectStep::Result> timed;

    double medianMs() const
    {
        std::vector<double> v;
        for (const auto &r : timed)
            v.push_back(r.ms);
        return median(v);
    }
    double medianOf(double StepTimings::*field) const
    {
        std::vector<double> v;
        for (const auto &r : timed)
            v.push_back(r.timings.*field);
        return median(v);
    }
    double medianPerToken() const
    {
        std::vector<double> v;
        for (const auto &r : timed)
            v.push_back(r.timings.decodeRuns ? r.timings.decodeMs / r.timings.decodeRuns : 0.0);
        return median(v);
    }
    int tokens() const { return timed.empty() ? 0 : timed.back().timings.decodeRuns; }
    int encodes() const { return timed.empty() ? 0 : timed.back().timings.encodeRuns; }
    int fallbacks() const
    {
        int n = 0;
        for (const auto &r : timed)
            n += r.timings.fallbacks;
        return n;
    }
    bool allOk() const
    {
        bool ok = first.ok;
        for (const auto &r : timed)
            ok = ok && r.ok;
        return ok;
    }
    // Whether every step gave `text`.
    bool gave(const std::string &text) const
    {
        bool same = first.text == text;
        for (const auto &r : timed)
            same = same && r.text == text;
        return same;
    }
};

struct CaseResult {
    Case c;
    double loadDefaultsMs = 0, loadTunedMs = 0;
    std::vector<Probe> probes; // engine defaults, engine tuned, direct defaults, direct tuned, variants
    std::string referenceText;  // the defaults engine's first step: the full window, no cut
};

double msSince(std::chrono::steady_clock::time_point begin)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
}

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::shared_ptr<WhisperEngine> loadEngine(const std::string &model, const WhisperRuntime &runtime, double &ms)
{
    EngineError error;
    const auto begin = std::chrono::steady_clock::now();
    auto engine = WhisperEngine::load(model, runtime, error);
    ms = msSince(begin);
    if (!engine)
        std::fprintf(stderr, "engine_bench: %s\n", error.description.c_str());
    return engine;
}

std::function<DirectStep::Result()> engineStep(std::shared_ptr<WhisperEngine> engine, const std::vector<float> &audio)
{
    return [engine, &audio] {
        static const std::atomic<bool> never{false};
        std::vector<TranscriptionResult> results;
        EngineError error;
        const auto begin = std::chrono::steady_clock::now();
        DirectStep::Result r;
        r.ok = engine->transcribe(audio, DecodingOptions{}, never, results, error);
        r.ms = msSince(begin);
        for (const auto &t : results)
            r.text += t.text;
        return r;
    };
}

Probe directProbe(std::string settings, const DirectStep &step, const std::vector<float> &audio, int margin,
                  int threads, std::string language = {})
{
    Probe p;
    p.settings = std::move(settings);
    p.threads = step.threadsFor(threads);
    p.audioContext = step.audioContext(audio.size(), margin);
    p.run = [&step, &audio, margin, threads, language] { return step.run(audio, margin, threads, language); };
    return p;
}

bool runCase(const Case &c, int runs, bool variants, CaseResult &out)
{
    const std::vector<float> audio = speechLikeNoise(c.seconds);
    const WhisperRuntime defaults = WhisperRuntime::whisperDefaults();
    const WhisperRuntime tuned = WhisperRuntime::tuned();
    WhisperRuntime tunedNoFlash = tuned;
    tunedNoFlash.flashAttention = false;

    out.c = c;
    auto engineDefaults = loadEngine(c.model, defaults, out.loadDefaultsMs);
    auto engineTuned = loadEngine(c.model, tuned, out.loadTunedMs);
    auto directDefaults = DirectStep::load(c.model, defaults);
    auto directTuned = DirectStep::load(c.model, tuned);
    auto directNoFlash = variants ? DirectStep::load(c.model, tunedNoFlash) : nullptr;
    if (!engineDefaults || !engineTuned || !directDefaults || !directTuned || (variants && !directNoFlash)) {
        std::fprintf(stderr, "engine_bench: cannot load %s\n", c.model.c_str());
        return false;
    }
    if (directTuned->audioContext(audio.size(), audioContextMargin) !=
        audioContextFor(audio.size(), 1500)) {
        std::fprintf(stderr, "engine_bench: the audio-context rule here no longer matches AudioContext.h\n");
        return false;
    }

    auto &probes = out.probes;
    probes.push_back({"defaults", directDefaults->threadsFor(0), 0, engineStep(engineDefaults, audio), {}, {}});
    probes.push_back({"tuned", directTuned->threadsFor(0), directTuned->audioContext(audio.size(), audioContextMargin),
                      engineStep(engineTuned, audio), {}, {}});
    probes.push_back(directProbe("defaults", *directDefaults, audio, audioContextMargin, 0));
    probes.push_back(directProbe("tuned", *directTuned, audio, audioContextMargin, 0));
    if (variants) {
        for (int t : {1, 2})
            if (t != tuned.threads)
                probes.push_back(directProbe("tuned, " + std::to_string(t) + " thread" + (t > 1 ? "s" : ""),
                                             *directTuned, audio, audioContextMargin, t));
        probes.push_back(directProbe("tuned, flash attention off", *directNoFlash, audio, audioContextMargin, 0));
        for (int m : {0, 16, 64})
            probes.push_back(directProbe("tuned, margin " + std::to_string(m), *directTuned, audio, m, 0));
        probes.push_back(directProbe("tuned, language en (no detection)", *directTuned, audio, audioContextMargin,
                                     0, "en"));
    }

    // The first step of each, untimed in the medians: for the defaults engine
    // it includes allocating the compute buffers, which tuned did at load.
    for (auto &p : probes)
        p.first = p.run();
    out.referenceText = probes[0].first.text;
    // Alternate the order from run to run so that drift in the machine's load
    // does not favour whichever comes first.
    for (int r = 0; r < runs; ++r) {
        for (size_t i = 0; i < probes.size(); ++i) {
            Probe &p = probes[r % 2 ? probes.size() - 1 - i : i];
            p.timed.push_back(p.run());
        }
    }
    bool timingsRead = true;
    for (size_t i = 2; i < probes.size(); ++i)
        for (const auto &r : probes[i].timed)
            timingsRead = timingsRead && r.timings.valid;
    if (!timingsRead)
        std::fprintf(stderr, "engine_bench: whisper.cpp's timings did not parse; the breakdown is incomplete\n");
    // The steps hold the engines and refer to this case's audio and contexts.
    for (auto &p : probes)
        p.run = nullptr;
    return true;
}

void printTables(const std::vector<CaseResult> &results, int runs, bool variants)
{
    const WhisperRuntime tuned = WhisperRuntime::tuned();
    std::printf("cores: %u; threads: defaults %d, tuned %d; flash attention: defaults on, tuned %s; "
                "median of %d interleaved runs; audio: speech-level noise (RMS 0.08)\n\n",
                std::thread::hardware_concurrency(), results.empty() ? 0 : results[0].probes[0].threads,
                tuned.threads, tuned.flashAttention ? "on" : "off", runs);

    std::printf("Step time through WhisperEngine::transcribe (ms)\n\n");
    std::printf("| audio | defaults | tuned | speed-up | first step defaults | first step tuned | load defaults | "
                "load tuned (with warm-up) | text as full window |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    for (const auto &r : results) {
        const Probe &d = r.probes[0], &t = r.probes[1];
        std::printf("| %.0f s | %.0f | %.0f | %.1fx | %.0f | %.0f | %.0f | %.0f | %s |\n", r.c.seconds, d.medianMs(),
                    t.medianMs(), d.medianMs() / t.medianMs(), d.first.ms, t.first.ms, r.loadDefaultsMs,
                    r.loadTunedMs, t.allOk() && t.gave(r.referenceText) ? "yes" : "NO");
    }

    std::printf("\nWhere the time goes: whisper_full with the same parameters, whisper.cpp's own timings (ms)\n\n");
    std::printf("| audio | settings | threads | audio_ctx | step | encode | encoder runs | 1-token decoder passes | "
                "ms per pass | prompt passes | other | fallbacks | step vs engine path |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const auto &r : results) {
        for (size_t i = 2; i < 4; ++i) {
            const Probe &p = r.probes[i];
            const Probe &engine = r.probes[i - 2];
            const double encode = p.medianOf(&StepTimings::encodeMs);
            const double decode = p.medianOf(&StepTimings::decodeMs);
            const double prompt = p.medianOf(&StepTimings::batchMs) + p.medianOf(&StepTimings::promptMs);
            std::printf("| %.0f s | %s | %d | %d | %.0f | %.0f | %d | %d | %.1f | %.0f | %.0f | %d | %.2f |\n",
                        r.c.seconds, p.settings.c_str(), p.threads, p.audioContext ? p.audioContext : 1500,
                        p.medianMs(), encode, p.encodes(), p.tokens(), p.medianPerToken(), prompt,
                        p.medianMs() - encode - decode - prompt, p.fallbacks(), p.medianMs() / engine.medianMs());
        }
    }

    if (variants) {
        for (int t : {1, 2})
            if (t != tuned.threads)
                probes.push_back(directProbe("tuned, " + std::to_string(t) + " thread" + (t > 1 ? "s" : ""),
                                             *directTuned, audio, audioContextMargin, t));
        probes.push_back(directProbe("tuned, flash attention off", *directNoFlash, audio, audioContextMargin, 0));
        for (int m : {0, 16, 64})
            probes.push_back(directProbe("tuned, margin " + std::to_string(m), *directTuned, audio, m, 0));
        probes.push_back(directProbe("tuned, language en (no detection)", *directTuned, audio, audioContextMargin,
                                     0, "en"));
    }

    // The first step of each, untimed in the medians: for the defaults engine
    // it includes allocating the compute buffers, which tuned did at load.
    for (auto &p : probes)
        p.first = p.run();
    out.referenceText = probes[0].first.text;
    // Alternate the order from run to run so that drift in the machine's load
    // does not favour whichever comes first.
    for (int r = 0; r < runs; ++r) {
        for (size_t i = 0; i < probes.size(); ++i) {
            Probe &p = probes[r % 2 ? probes.size() - 1 - i : i];
            p.timed.push_back(p.run());
        }
    }
    bool timingsRead = true;
    for (size_t i = 2; i < probes.size(); ++i)
        for (const auto &r : probes[i].timed)
            timingsRead = timingsRead && r.timings.valid;
    if (!timingsRead)
        std::fprintf(stderr, "engine_bench: whisper.cpp's timings did not parse; the breakdown is incomplete\n");
    // The steps hold the engines and refer to this case's audio and contexts.
    for (auto &p : probes)
        p.run = nullptr;
    return true;
}

void printTables(const std::vector<CaseResult> &results, int runs, bool variants)
{
    const WhisperRuntime tuned = WhisperRuntime::tuned();
    std::printf("cores: %u; threads: defaults %d, tuned %d; flash attention: defaults on, tuned %s; "
                "median of %d interleaved runs; audio: speech-level noise (RMS 0.08)\n\n",
                std::thread::hardware_concurrency(), results.empty() ? 0 : results[0].probes[0].threads,
                tuned.threads, tuned.flashAttention ? "on" : "off", runs);

    std::printf("Step time through WhisperEngine::transcribe (ms)\n\n");
    std::printf("| audio | defaults | tuned | speed-up | first step defaults | first step tuned | load defaults | "
                "load tuned (with warm-up) | text as full window |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    for (const auto &r : results) {
        const Probe &d = r.probes[0], &t = r.probes[1];
        std::printf("| %.0f s | %.0f | %.0f | %.1fx | %.0f | %.0f | %.0f | %.0f | %s |\n", r.c.seconds, d.medianMs(),
                    t.medianMs(), d.medianMs() / t.medianMs(), d.first.ms, t.first.ms, r.loadDefaultsMs,
                    r.loadTunedMs, t.allOk() && t.gave(r.referenceText) ? "yes" : "NO");
    }

    std::printf("\nWhere the time goes: whisper_full with the same parameters, whisper.cpp's own timings (ms)\n\n");
    std::printf("| audio | settings | threads | audio_ctx | step | encode | decode per token | tokens decoded | "
                "prompt | encoder runs | fallbacks | step vs engine path |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const auto &r : results) {
        for (size_t i = 2; i < 4; ++i) {
            const Probe &p = r.probes[i];
            const Probe &engine = r.probes[i - 2];
            std::printf("| %.0f s | %s | %d | %d | %.0f | %.0f | %.1f | %d | %.0f | %d | %d | %.2f |\n", r.c.seconds,
                        p.settings.c_str(), p.threads, p.audioContext ? p.audioContext : 1500, p.medianMs(),
                        p.medianOf(&StepTimings::encodeMs), p.medianPerToken(), p.tokens(),
                        p.medianOf(&StepTimings::promptMs), p.encodes(), p.fallbacks(),
                        p.medianMs() / engine.medianMs());
        }
    }

    if (variants) {
        std::printf("\nTuned against variants of it, whisper_full direct (ms)\n\n");
        std::printf("| audio | settings | threads | audio_ctx | step | vs tuned | encode | decode per token | "
                    "text as full window |\n");
        std::printf("|---|---|---|---|---|---|---|---|---|\n");
        for (const auto &r : results) {
            const Probe &base = r.probes[3];
            for (size_t i = 3; i < r.probes.size(); ++i) {
                const Probe &p = r.probes[i];
                std::printf("| %.0f s | %s | %d | %d | %.0f | %.2f | %.0f | %.1f | %s |\n", r.c.seconds,
                            p.settings.c_str(), p.threads, p.audioContext ? p.audioContext : 1500, p.medianMs(),
                            p.medianMs() / base.medianMs(), p.medianOf(&StepTimings::encodeMs), p.medianPerToken(),
                            p.allOk() && p.gave(r.referenceText) ? "yes" : "NO");
            }
        }
    }

    // The step-time goals: a step must finish well inside the 1.3 s pause.
    struct Goal {
        double seconds, maxMs, minSpeedUp;
    };
    std::printf("\nTargets (tuned, engine path)\n\n| audio | step | goal | speed-up | goal | met |\n|---|---|---|---|---|---|\n");
    for (const Goal g : {Goal{12, 700, 4}, Goal{3, 250, 10}}) {
        for (const auto &r : results) {
            if (r.c.seconds != g.seconds)
                continue;
            const double ms = r.probes[1].medianMs();
            const double speedUp = r.probes[0].medianMs() / ms;
            const bool met = ms <= g.maxMs && speedUp >= g.minSpeedUp;
            std::printf("| %.0f s | %.0f ms | <= %.0f ms | %.1fx | >= %.0fx | %s |\n", g.seconds, ms, g.maxMs,
                        speedUp, g.minSpeedUp, met ? "met" : "MISSED");
        }
    }
}

// Peak resident memory of a process holding one engine that has run a step.
int memoryMode(const std::string &which, const Case &c)
{
    const WhisperRuntime runtime = which == "defaults" ? WhisperRuntime::whisperDefaults() : WhisperRuntime::tuned();
    const long before = peakRssKb();
    double loadMs = 0;
    auto engine = loadEngine(c.model, runtime, loadMs);
    if (!engine)
        return 1;
    const std::vector<float> audio = speechLikeNoise(c.seconds);
    const DirectStep::Result r = engineStep(engine, audio)();
    const long after = peakRssKb();
    std::printf("| %s | %.0f s | %.0f | %.0f | %s |\n", which.c_str(), c.seconds, after / 1024.0, before / 1024.0,
                r.ok ? "yes" : "NO");
    return r.ok ? 0 : 1;
}

bool parseCase(const std::string &arg, Case &c)
{
    const size_t colon = arg.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == arg.size())
        return false;
    char *end = nullptr;
    c.seconds = std::strtod(arg.c_str(), &end);
    c.model = arg.substr(colon + 1);
    return end == arg.c_str() + colon && c.seconds > 0 && c.seconds <= 30;
}

int usage()
{
    std::fprintf(stderr, "usage: engine_bench [--runs N] [--variants] SECONDS:MODEL...\n"
                         "       engine_bench --memory tuned|defaults SECONDS:MODEL\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    int runs = 3;
    bool variants = false;
    std::string memory;
    std::vector<Case> cases;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
            if (runs < 1)
                return usage();
        } else if (arg == "--variants") {
            variants = true;
        } else if (arg == "--memory" && i + 1 < argc) {
            memory = argv[++i];
            if (memory != "tuned" && memory != "defaults")
                return usage();
        } else {
            Case c;
            if (!parseCase(arg, c))
                return usage();
            cases.push_back(c);
        }
    }
    if (cases.empty() || (!memory.empty() && cases.size() != 1))
        return usage();

    silenceWhisperLog();
    if (!memory.empty())
        return memoryMode(memory, cases[0]);

    std::vector<CaseResult> results;
    for (const Case &c : cases) {
        CaseResult r;
        if (!runCase(c, runs, variants, r))
            return 1;
        results.push_back(std::move(r));
    }
    printTables(results, runs, variants);
    return 0;
}
