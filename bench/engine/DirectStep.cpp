#include "DirectStep.h"

#include "platform/AudioContext.h"
#include "platform/SpeechEngine.h"

#include <whisper.h>

#include <algorithm>
#include <chrono>

namespace sv::bench {

namespace {

// The same mapping as WhisperEngine's for the options every captioner step
// uses; the bench prints this path next to the engine's so a drift shows.
whisper_full_params stepParams(const DecodingOptions &o, int threads)
{
    whisper_full_params p = whisper_full_default_params(WHISPER_SAMPLING_GREEDY);
    if (threads > 0)
        p.n_threads = threads;
    p.print_progress = false;
    p.print_realtime = false;
    p.print_timestamps = false;
    p.print_special = false;
    p.translate = o.translate;
    p.language = o.language.empty() ? "auto" : o.language.c_str();
    p.detect_language = o.detectLanguage;
    p.temperature = o.temperature;
    p.temperature_inc = o.temperatureIncrementOnFallback;
    p.greedy.best_of = o.topK;
    p.no_timestamps = o.withoutTimestamps;
    p.token_timestamps = o.wordTimestamps;
    p.suppress_blank = o.suppressBlank;
    p.suppress_nst = false;
    p.entropy_thold = o.compressionRatioThreshold;
    p.logprob_thold = o.logProbThreshold;
    p.no_speech_thold = o.noSpeechThreshold;
    p.no_context = true;
    p.prompt_tokens = nullptr;
    p.prompt_n_tokens = 0;
    p.initial_prompt = nullptr;
    p.single_segment = false;
    return p;
}

} // namespace

std::unique_ptr<DirectStep> DirectStep::load(const std::string &path, const WhisperRuntime &runtime)
{
    whisper_context_params cp = whisper_context_default_params();
    cp.use_gpu = runtime.gpu;
    cp.flash_attn = runtime.flashAttention;
    whisper_context *context = whisper_init_from_file_with_params(path.c_str(), cp);
    if (!context)
        return nullptr;
    return std::unique_ptr<DirectStep>(new DirectStep(context, runtime));
}

DirectStep::DirectStep(whisper_context *context, WhisperRuntime runtime)
    : m_context(context)
    , m_runtime(runtime)
{
}

DirectStep::~DirectStep()
{
    whisper_free(m_context);
}

int DirectStep::audioContext(size_t samples, int margin) const
{
    if (!m_runtime.matchAudioContext)
        return 0;
    // AudioContext.h's rule with the margin as a parameter.
    const int model = whisper_model_n_audio_ctx(m_context);
    const size_t frames = (samples + encoderFrameSamples - 1) / encoderFrameSamples;
    const size_t padded =
        (frames + size_t(margin) + audioContextStep - 1) / audioContextStep * audioContextStep;
    return int(std::min<size_t>(padded, size_t(model)));
}

int DirectStep::threadsFor(int threads) const
{
    if (threads > 0)
        return threads;
    if (m_runtime.threads > 0)
        return m_runtime.threads;
    return whisper_full_default_params(WHISPER_SAMPLING_GREEDY).n_threads;
}

DirectStep::Result DirectStep::run(const std::vector<float> &audio, int margin, int threads,
                                   const std::string &language) const
{
    DecodingOptions options;
    options.language = language;
    whisper_full_params p = stepParams(options, threadsFor(threads));
    p.audio_ctx = audioContext(audio.size(), margin);

    whisper_reset_timings(m_context);
    const auto begin = std::chrono::steady_clock::now();
    const int rc = whisper_full(m_context, p, audio.data(), int(audio.size()));
    const auto end = std::chrono::steady_clock::now();

    Result r;
    r.ok = rc == 0;
    r.ms = std::chrono::duration<double, std::milli>(end - begin).count();
    r.timings = readTimings(m_context);
    for (int i = 0; i < whisper_full_n_segments(m_context); ++i)
        r.text += whisper_full_get_segment_text(m_context, i);
    const auto notSpace = [](unsigned char c) { return c != ' '; };
    r.text.erase(r.text.begin(), std::find_if(r.text.begin(), r.text.end(), notSpace));
    return r;
}

} // namespace sv::bench
