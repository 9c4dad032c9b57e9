#include "DirectStep.h"

#include "platform/AudioContext.h"
#include "platform/SpeechEngine.h"
#include "platform/WhisperEngine.h"

#include <whisper.h>

#include <algorithm>
#include <chrono>

namespace sv::bench {

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
    return audioContextFor(samples, whisper_model_n_audio_ctx(m_context), margin);
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
    WhisperRuntime runtime = m_runtime;
    runtime.threads = threadsFor(threads);
    whisper_full_params p = toWhisperParams(options, runtime);
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
