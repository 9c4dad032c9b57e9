#include "WhisperEngine.h"

#include "AudioContext.h"

#include <QLoggingCategory>

#include <whisper.h>

#include <algorithm>
#include <cctype>
#include <mutex>
#include <thread>

Q_LOGGING_CATEGORY(lcWhisper, "sonivane.whisper", QtInfoMsg)

namespace sv {

namespace {

void logToCategory(ggml_log_level level, const char *text, void *)
{
    QByteArray line(text);
    while (line.endsWith('\n'))
        line.chop(1);
    if (line.isEmpty())
        return;
    if (level == GGML_LOG_LEVEL_ERROR)
        qCWarning(lcWhisper).noquote() << line;
    else if (level == GGML_LOG_LEVEL_WARN || level == GGML_LOG_LEVEL_INFO)
        qCInfo(lcWhisper).noquote() << line;
}

void dropLog(ggml_log_level, const char *, void *) {}

bool abortRequested(void *flag)
{
    return static_cast<const std::atomic<bool> *>(flag)->load();
}

std::string trimmed(std::string s)
{
    auto notSpace = [](unsigned char c) { return !std::isspace(c); };
    s.erase(s.begin(), std::find_if(s.begin(), s.end(), notSpace));
    s.erase(std::find_if(s.rbegin(), s.rend(), notSpace).base(), s.end());
    return s;
}

} // namespace

// Decoding options mapped by meaning onto whisper.cpp; README.md lists each.
whisper_full_params toWhisperParams(const DecodingOptions &o, const WhisperRuntime &runtime)
{
    whisper_full_params p = whisper_full_default_params(WHISPER_SAMPLING_GREEDY);
    if (runtime.threads > 0)
        p.n_threads = runtime.threads;
    p.print_progress = o.verbose;
    p.print_realtime = false;
    p.print_timestamps = o.verbose;
    p.print_special = false; // special tokens never reach the text
    p.translate = o.translate;
    p.language = o.language.empty() ? "auto" : o.language.c_str();
    p.detect_language = o.detectLanguage;
    p.temperature = o.temperature;
    p.temperature_inc = o.temperatureIncrementOnFallback; // 0.0 .. 1.0 by 0.2: five retries
    p.greedy.best_of = o.topK;                             // candidates when sampling on fallback
    p.no_timestamps = o.withoutTimestamps;
    p.token_timestamps = o.wordTimestamps;
    p.suppress_blank = o.suppressBlank;
    p.suppress_nst = false;
    p.entropy_thold = o.compressionRatioThreshold;
    p.logprob_thold = o.logProbThreshold;
    p.no_speech_thold = o.noSpeechThreshold;
    // Every call stands alone: no prompt, and no text carried over from the
    // previous call on the same context.
    p.no_context = true;
    p.prompt_tokens = nullptr;
    p.prompt_n_tokens = 0;
    p.initial_prompt = nullptr;
    p.single_segment = false;
    return p;
}


WhisperRuntime WhisperRuntime::tuned()
{
    WhisperRuntime r;
    // ggml's workers spin while they wait, so one thread per core is the
    // most that helps. On two cores both are used: the capture callback costs
    // microseconds per buffer and the interface is idle between events, and
    // the scheduler preempts a spinning worker for either. On larger machines
    // one core stays free for them, and beyond 8 threads the encoder gains
    // little.
    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    r.threads = cores <= 2 ? cores : std::min(cores - 1, 8);
    r.flashAttention = true;
    r.matchAudioContext = true;
    r.warmUp = true;
    return r;
}

WhisperRuntime WhisperRuntime::whisperDefaults()
{
    WhisperRuntime r;
    r.threads = 0;
    r.flashAttention = true; // whisper.cpp 1.9.1 turns it on by default
    r.matchAudioContext = false;
    r.warmUp = false;
    return r;
}

void routeWhisperLog(bool enabled)
{
    whisper_log_set(enabled ? logToCategory : dropLog, nullptr);
}

std::shared_ptr<WhisperEngine> WhisperEngine::load(const std::string &path, const WhisperRuntime &runtime,
                                                   EngineError &error)
{
    whisper_context_params cp = whisper_context_default_params();
    cp.use_gpu = runtime.gpu;
    cp.flash_attn = runtime.flashAttention;
    whisper_context *context = whisper_init_from_file_with_params(path.c_str(), cp);
    if (!context) {
        error.description = "whisper_init_from_file_with_params failed for " + path;
        error.localizedDescription = "the speech model at " + path + " could not be loaded";
        return nullptr;
    }
    auto engine = std::shared_ptr<WhisperEngine>(new WhisperEngine(context, runtime));
    if (runtime.warmUp) {
        // The first whisper_full allocates its compute buffers; doing it here
        // keeps that cost off the first caption. One second of faint noise:
        // pure zeros could take a shortcut through the decoder.
        std::vector<float> noise(16000);
        uint32_t x = 12345;
        for (float &v : noise) {
            x = x * 1664525u + 1013904223u;
            v = (float(x >> 8) / float(1 << 24) - 0.5f) * 0.002f;
        }
        // Its text is thrown away, so no language needs detecting: detection
        // on a fresh context would encode a whole 30 s window first.
        DecodingOptions warm;
        warm.language = "en";
        std::vector<TranscriptionResult> ignored;
        EngineError ignoredError;
        const std::atomic<bool> never{false};
        engine->transcribe(noise, warm, never, ignored, ignoredError);
    }
    return engine;
}

WhisperEngine::WhisperEngine(whisper_context *context, WhisperRuntime runtime)
    : m_context(context)
    , m_runtime(runtime)
{
}

WhisperEngine::~WhisperEngine()
{
    whisper_free(m_context);
}

bool WhisperEngine::transcribe(const std::vector<float> &samples, const DecodingOptions &options,
                               const std::atomic<bool> &abort, std::vector<TranscriptionResult> &results,
                               EngineError &error)
{
    whisper_full_params p = toWhisperParams(options, m_runtime);
    if (m_runtime.matchAudioContext)
        p.audio_ctx = audioContextFor(samples.size(), whisper_model_n_audio_ctx(m_context));
    p.abort_callback = abortRequested;
    p.abort_callback_user_data = const_cast<std::atomic<bool> *>(&abort);

    const int rc = whisper_full(m_context, p, samples.data(), int(samples.size()));
    if (rc != 0 || abort) {
        error.description = "whisper_full returned " + std::to_string(rc);
        error.localizedDescription = "transcription failed";
        return false;
    }
    std::string text;
    const int segments = whisper_full_n_segments(m_context);
    for (int i = 0; i < segments; ++i)
        text += whisper_full_get_segment_text(m_context, i);
    results.clear();
    results.push_back({trimmed(text)});
    return true;
}

WhisperEngineFactory::WhisperEngineFactory(ModelStore store, WhisperRuntime runtime)
    : m_store(std::move(store))
    , m_runtime(runtime)
{
}

WhisperEngineFactory WhisperEngineFactory::fromFile(std::string modelPath, WhisperRuntime runtime)
{
    WhisperEngineFactory f(ModelStore({}, {}), runtime);
    f.m_fixedPath = std::move(modelPath);
    return f;
}

std::shared_ptr<SpeechEngine> WhisperEngineFactory::create(const std::string &modelName,
                                                           const std::atomic<bool> &cancel, EngineError &error)
{
    std::string path = m_fixedPath;
    if (path.empty()) {
        if (modelName != "base") {
            error = {"unknown model " + modelName, "there is no model named " + modelName};
            return nullptr;
        }
        std::string message;
        if (!m_store.ensure(ModelInfo::base(), cancel, path, message)) {
            error = {message, message};
            return nullptr;
        }
    }
    return WhisperEngine::load(path, m_runtime, error);
}

} // namespace sv
