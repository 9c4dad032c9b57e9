// engine_bench: the engine time of one captioner step for several audio
// lengths, all in one process and interleaved, so that each figure is a
// side-by-side taken under the same machine load.
//
//   engine_bench [--runs N] SECONDS:MODEL...
//       whisper.cpp's defaults against the runtime Sonivane uses, through
//       WhisperEngine, and where the time goes (whisper.cpp's own timings)
//   engine_bench --variants [--busy] [--runs N] SECONDS:MODEL...
//       the tuned runtime against variants of it; with --busy, only the
//       thread counts, while one more thread of this process spins for the
//       whole run, standing in for another program keeping a core busy
//   engine_bench --memory tuned|defaults SECONDS:MODEL
//       peak resident memory of a process holding one engine after a step
//
// Each SECONDS:MODEL pairs an audio length with the model that transcribes
// it (a speaking model whose text suits that length). Tables go to stdout in
// Markdown.

#include "DirectStep.h"
#include "SpeechLikeNoise.h"
#include "WhisperTimings.h"
#include "bench/common/Stats.h"
#include "platform/AudioContext.h"
#include "platform/WhisperEngine.h"

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
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
    int audioContext = 0; // 0: the full window
    std::function<DirectStep::Result()> run;
    DirectStep::Result first;
    std::vector<DirectStep::Result> timed;

    double medianMs() const { return medianOf([](const DirectStep::Result &r) { return r.ms; }); }
    double bestMs() const
    {
        double best = timed.empty() ? 0.0 : timed[0].ms;
        for (const auto &r : timed)
            best = std::min(best, r.ms);
        return best;
    }
    double medianOf(double StepTimings::*field) const
    {
        return medianOf([field](const DirectStep::Result &r) { return r.timings.*field; });
    }
    double medianPerPass() const
    {
        return medianOf([](const DirectStep::Result &r) {
            return r.timings.decodeRuns ? r.timings.decodeMs / r.timings.decodeRuns : 0.0;
        });
    }
    double medianOf(const std::function<double(const DirectStep::Result &)> &value) const
    {
        std::vector<double> v;
        for (const auto &r : timed)
            v.push_back(value(r));
        return median(v);
    }
    int decoderPasses() const { return timed.empty() ? 0 : timed.back().timings.decodeRuns; }
    int encoderRuns() const { return timed.empty() ? 0 : timed.back().timings.encodeRuns; }
    int fallbacks() const
    {
        int n = 0;
        for (const auto &r : timed)
            n += r.timings.fallbacks;
        return n;
    }
    // Whether every step succeeded and gave `text`.
    bool gave(const std::string &text) const
    {
        bool same = first.ok && first.text == text;
        for (const auto &r : timed)
            same = same && r.ok && r.text == text;
        return same;
    }
};

struct CaseResult {
    Case c;
    double loadDefaultsMs = 0, loadTunedMs = 0;
    std::vector<Probe> probes;
    std::string referenceText; // a full-window step's: no context cut
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
                  int threads = 0, std::string language = {})
{
    Probe p;
    p.settings = std::move(settings);
    p.threads = step.threadsFor(threads);
    p.audioContext = step.audioContext(audio.size(), margin);
    p.run = [&step, &audio, margin, threads, language] { return step.run(audio, margin, threads, language); };
    return p;
}

// Runs every probe once untimed (its first step), then `runs` times,
// alternating the order from run to run so that drift in the machine's load
// does not favour whichever comes first.
void measure(std::vector<Probe> &probes, int runs)
{
    for (auto &p : probes)
        p.first = p.run();
    for (int r = 0; r < runs; ++r)
        for (size_t i = 0; i < probes.size(); ++i) {
            Probe &p = probes[r % 2 ? probes.size() - 1 - i : i];
            p.timed.push_back(p.run());
        }
    // The steps hold engines and refer to the case's audio and contexts.
    for (auto &p : probes)
        p.run = nullptr;
}

bool timingsParsed(const std::vector<Probe> &probes, size_t from)
{
    for (size_t i = from; i < probes.size(); ++i)
        for (const auto &r : probes[i].timed)
            if (!r.timings.valid) {
                std::fprintf(stderr, "engine_bench: whisper.cpp's timings did not parse; the breakdown is incomplete\n");
                return false;
            }
    return true;
}

// Probes 0-3: engine defaults, engine tuned, direct defaults, direct tuned.
bool compareCase(const Case &c, int runs, CaseResult &out)
{
    const std::vector<float> audio = speechLikeNoise(c.seconds);
    const WhisperRuntime defaults = WhisperRuntime::whisperDefaults();
    const WhisperRuntime tuned = WhisperRuntime::tuned();
    out.c = c;
    auto engineDefaults = loadEngine(c.model, defaults, out.loadDefaultsMs);
    auto engineTuned = loadEngine(c.model, tuned, out.loadTunedMs);
    auto directDefaults = DirectStep::load(c.model, defaults);
    auto directTuned = DirectStep::load(c.model, tuned);
    if (!engineDefaults || !engineTuned || !directDefaults || !directTuned) {
        std::fprintf(stderr, "engine_bench: cannot load %s\n", c.model.c_str());
        return false;
    }
    if (directTuned->audioContext(audio.size(), audioContextMargin) != audioContextFor(audio.size(), 1500)) {
        std::fprintf(stderr, "engine_bench: the audio-context rule here no longer matches AudioContext.h\n");
        return false;
    }
    auto &probes = out.probes;
    Probe d = directProbe("defaults", *directDefaults, audio, audioContextMargin);
    Probe t = directProbe("tuned", *directTuned, audio, audioContextMargin);
    probes.push_back({"defaults", d.threads, d.audioContext, engineStep(engineDefaults, audio), {}, {}});
    probes.push_back({"tuned", t.threads, t.audioContext, engineStep(engineTuned, audio), {}, {}});
    probes.push_back(std::move(d));
    probes.push_back(std::move(t));
    measure(probes, runs);
    out.referenceText = probes[0].first.text;
    return timingsParsed(probes, 2);
}

// Probe 0: direct tuned; the rest vary one setting each. Each has a context
// of its own: whisper.cpp's language detection encodes with the audio_ctx of
// the context's previous step, so a shared context would mix the variants.
bool variantCase(const Case &c, int runs, bool threadsOnly, std::vector<std::unique_ptr<DirectStep>> &contexts,
                 CaseResult &out)
{
    struct Variant {
        std::string settings;
        WhisperRuntime runtime;
        int margin = audioContextMargin;
        int threads = 0;
        std::string language = {};
    };
    const WhisperRuntime tuned = WhisperRuntime::tuned();
    WhisperRuntime noFlash = tuned;
    noFlash.flashAttention = false;
    std::vector<Variant> variants{{"tuned", tuned}};
    for (int threads : {1, 2})
        if (threads != tuned.threads)
            variants.push_back({"tuned, " + std::to_string(threads) + " thread" + (threads > 1 ? "s" : ""), tuned,
                                audioContextMargin, threads});
    if (!threadsOnly) {
        variants.push_back({"tuned, flash attention off", noFlash});
        for (int margin : {0, 64})
            variants.push_back({"tuned, margin " + std::to_string(margin), tuned, margin});
        variants.push_back({"tuned, language en (no detection)", tuned, audioContextMargin, 0, "en"});
    }

    const std::vector<float> audio = speechLikeNoise(c.seconds);
    out.c = c;
    auto full = DirectStep::load(c.model, WhisperRuntime::whisperDefaults());
    if (!full) {
        std::fprintf(stderr, "engine_bench: cannot load %s\n", c.model.c_str());
        return false;
    }
    out.referenceText = full->run(audio, audioContextMargin, 0).text;
    full.reset();
    for (const Variant &v : variants) {
        contexts.push_back(DirectStep::load(c.model, v.runtime));
        if (!contexts.back()) {
            std::fprintf(stderr, "engine_bench: cannot load %s\n", c.model.c_str());
            return false;
        }
        out.probes.push_back(directProbe(v.settings, *contexts.back(), audio, v.margin, v.threads, v.language));
    }
    measure(out.probes, runs);
    return timingsParsed(out.probes, 0);
}

int ctxOf(const Probe &p)
{
    return p.audioContext ? p.audioContext : 1500;
}

void printComparison(const std::vector<CaseResult> &results, int runs)
{
    const WhisperRuntime tuned = WhisperRuntime::tuned();
    std::printf("cores: %u; threads: defaults %d, tuned %d; flash attention: defaults %s, tuned %s; "
                "median of %d interleaved runs; audio: speech-level noise (RMS 0.08)\n\n",
                std::thread::hardware_concurrency(), results[0].probes[0].threads, tuned.threads,
                WhisperRuntime::whisperDefaults().flashAttention ? "on" : "off", tuned.flashAttention ? "on" : "off",
                runs);

    std::printf("Step time through WhisperEngine::transcribe (ms)\n\n");
    std::printf("| audio | defaults | tuned | speed-up | best defaults | best tuned | speed-up of best | "
                "first step defaults | first step tuned | load defaults | load tuned (with warm-up) | "
                "tuned text as full window |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const auto &r : results) {
        const Probe &d = r.probes[0], &t = r.probes[1];
        std::printf("| %.0f s | %.0f | %.0f | %.1fx | %.0f | %.0f | %.1fx | %.0f | %.0f | %.0f | %.0f | %s |\n",
                    r.c.seconds, d.medianMs(), t.medianMs(), d.medianMs() / t.medianMs(), d.bestMs(), t.bestMs(),
                    d.bestMs() / t.bestMs(), d.first.ms, t.first.ms, r.loadDefaultsMs, r.loadTunedMs,
                    t.gave(r.referenceText) ? "yes" : "NO");
    }

    std::printf("\nWhere the time goes: whisper_full with the same parameters, whisper.cpp's own timings "
                "(ms, medians)\n\n");
    std::printf("| audio | settings | threads | audio_ctx | step | encode | encoder runs | 1-token decoder passes | "
                "ms per pass | prompt passes | other | fallbacks | step vs engine path |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const auto &r : results)
        for (size_t i = 2; i < 4; ++i) {
            const Probe &p = r.probes[i];
            const double encode = p.medianOf(&StepTimings::encodeMs);
            const double decode = p.medianOf(&StepTimings::decodeMs);
            const double prompt = p.medianOf(&StepTimings::batchMs) + p.medianOf(&StepTimings::promptMs);
            std::printf("| %.0f s | %s | %d | %d | %.0f | %.0f | %d | %d | %.1f | %.0f | %.0f | %d | %.2f |\n",
                        r.c.seconds, p.settings.c_str(), p.threads, ctxOf(p), p.medianMs(), encode, p.encoderRuns(),
                        p.decoderPasses(), p.medianPerPass(), prompt, p.medianMs() - encode - decode - prompt,
                        p.fallbacks(), p.medianMs() / r.probes[i - 2].medianMs());
        }

    // A step has to end well inside the 1.3 s pause for lines to keep up.
    // Other programs only ever add time, so the best of the runs is shown
    // next to the median: on a busy machine the two can disagree.
    struct Goal {
        double seconds, maxMs, minSpeedUp;
    };
    std::printf("\nTargets (tuned, engine path; each judged on the medians and on the bests)\n\n"
                "| audio | step | best step | goal | step goal met (median, best) | speed-up | speed-up of best | "
                "goal | speed-up goal met (median, best) |\n"
                "|---|---|---|---|---|---|---|---|---|\n");
    const auto verdict = [](bool met) { return met ? "met" : "MISSED"; };
    for (const Goal g : {Goal{12, 700, 4}, Goal{3, 250, 10}})
        for (const auto &r : results) {
            if (r.c.seconds != g.seconds)
                continue;
            const Probe &d = r.probes[0], &t = r.probes[1];
            const double speedUp = d.medianMs() / t.medianMs(), bestSpeedUp = d.bestMs() / t.bestMs();
            std::printf("| %.0f s | %.0f ms | %.0f ms | <= %.0f ms | %s, %s | %.1fx | %.1fx | >= %.0fx | %s, %s |\n",
                        g.seconds, t.medianMs(), t.bestMs(), g.maxMs, verdict(t.medianMs() <= g.maxMs),
                        verdict(t.bestMs() <= g.maxMs), speedUp, bestSpeedUp, g.minSpeedUp,
                        verdict(speedUp >= g.minSpeedUp), verdict(bestSpeedUp >= g.minSpeedUp));
        }
}

void printVariants(const std::vector<CaseResult> &results, int runs, bool busy)
{
    std::printf("Tuned against variants of it, whisper_full direct (ms, median of %d interleaved runs%s)\n\n", runs,
                busy ? "; one more thread spinning all along" : "");
    std::printf("| audio | settings | threads | audio_ctx | step | vs tuned | best | best vs tuned's best | encode | "
                "encoder runs | ms per decoder pass | text as full window |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const auto &r : results) {
        const Probe &base = r.probes[0];
        for (const Probe &p : r.probes)
            std::printf("| %.0f s | %s | %d | %d | %.0f | %.2f | %.0f | %.2f | %.0f | %d | %.1f | %s |\n", r.c.seconds,
                        p.settings.c_str(), p.threads, ctxOf(p), p.medianMs(), p.medianMs() / base.medianMs(),
                        p.bestMs(), p.bestMs() / base.bestMs(),
                        p.medianOf(&StepTimings::encodeMs), p.encoderRuns(), p.medianPerPass(),
                        p.gave(r.referenceText) ? "yes" : "NO");
    }
}

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
    std::fprintf(stderr, "usage: engine_bench [--runs N] SECONDS:MODEL...\n"
                         "       engine_bench --variants [--busy] [--runs N] SECONDS:MODEL...\n"
                         "       engine_bench --memory tuned|defaults SECONDS:MODEL\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    int runs = 3;
    bool variants = false, busy = false;
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
        } else if (arg == "--busy") {
            busy = true;
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
    if (cases.empty() || (!memory.empty() && (cases.size() != 1 || variants)) || (busy && !variants))
        return usage();

    silenceWhisperLog();
    if (!memory.empty())
        return memoryMode(memory, cases[0]);

    std::atomic<bool> spin{busy};
    std::thread spinner([&spin] {
        while (spin.load(std::memory_order_relaxed)) {
        }
    });
    std::vector<CaseResult> results;
    bool ok = true;
    for (const Case &c : cases) {
        CaseResult r;
        std::vector<std::unique_ptr<DirectStep>> contexts;
        ok = variants ? variantCase(c, runs, busy, contexts, r) : compareCase(c, runs, r);
        if (!ok)
            break;
        results.push_back(std::move(r));
    }
    spin = false;
    spinner.join();
    if (!ok)
        return 1;
    if (variants)
        printVariants(results, runs, busy);
    else
        printComparison(results, runs);
    return 0;
}
