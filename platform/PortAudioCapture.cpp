#include "PortAudioCapture.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <portaudio.h>

#include <algorithm>

namespace sv {

namespace {

constexpr unsigned long kFramesPerBuffer = 4096;

// ALSA's "default" device under PulseAudio reports 32 input channels, and the
// pulse plugin would happily upmix a stereo source to all of them. Everything
// downstream mixes to mono, so more than two channels only costs work.
constexpr int kMaxChannels = 2;

// Each Pa_Initialize() enumerates every ALSA device and probes for a JACK
// server; on a machine with PulseAudio and no JACK that prints about a hundred
// lines of harmless complaints on stderr, on every checkAccess(). Failures we
// care about reach us as PortAudio error codes, so the libraries' own chatter
// is dropped. (PortAudio installs its own JACK handler once it connects to a
// running JACK server.)
void ignoreAlsaMessage(const char *, int, const char *, int, const char *, ...)
{
}

void ignoreJackMessage(const char *)
{
}

void silenceAudioLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] {
        snd_lib_error_set_handler(ignoreAlsaMessage);
        jack_set_error_function(ignoreJackMessage);
        jack_set_info_function(ignoreJackMessage);
    });
}

std::string describe(PaError err)
{
    std::string text = Pa_GetErrorText(err);
    if (err == paUnanticipatedHostError) {
        const PaHostErrorInfo *host = Pa_GetLastHostErrorInfo();
        if (host && host->errorText && host->errorText[0])
            text += std::string(" (") + host->errorText + ")";
    }
    return text;
}

struct DefaultInput {
    PaStreamParameters params{};
    double sampleRate = 0.0;
};

// The default input device's own format; false when there is none.
bool defaultInput(DefaultInput &out)
{
    const PaDeviceIndex device = Pa_GetDefaultInputDevice();
    if (device == paNoDevice)
        return false;
    const PaDeviceInfo *info = Pa_GetDeviceInfo(device);
    if (!info || info->maxInputChannels < 1 || !(info->defaultSampleRate > 0.0))
        return false;
    out.params.device = device;
    out.params.channelCount = std::min(info->maxInputChannels, kMaxChannels);
    out.params.sampleFormat = paFloat32 | paNonInterleaved;
    out.params.suggestedLatency = info->defaultHighInputLatency;
    out.params.hostApiSpecificStreamInfo = nullptr;
    out.sampleRate = info->defaultSampleRate;
    return true;
}

} // namespace

PortAudioCapture::PortAudioCapture() = default;

PortAudioCapture::~PortAudioCapture()
{
    stop();
    std::lock_guard lock(m_paMutex);
    terminate();
}

bool PortAudioCapture::ensureInitialized()
{
    if (m_initialized)
        return true;
    silenceAudioLibraries();
    m_initialized = Pa_Initialize() == paNoError;
    return m_initialized;
}

void PortAudioCapture::terminate()
{
    if (m_initialized)
        Pa_Terminate();
    m_initialized = false;
}

bool PortAudioCapture::checkAccess()
{
    std::lock_guard lock(m_paMutex);
    if (m_stream)
        return true;
    // PortAudio enumerates devices only in Pa_Initialize(), and ALSA re-reads
    // its configuration (which routes "default" to a running PulseAudio) only
    // after PortAudio has released it in Pa_Terminate().
    terminate();
    if (!ensureInitialized())
        return false;
    DefaultInput input;
    if (!defaultInput(input))
        return false;
    // For ALSA this opens the device and negotiates the parameters, so a
    // device that exists but refuses our format is not granted.
    return Pa_IsFormatSupported(&input.params, nullptr, input.sampleRate) == paFormatIsSupported;
}

AudioFormat PortAudioCapture::inputFormat()
{
    std::lock_guard lock(m_paMutex);
    if (m_stream)
        return m_format;
    DefaultInput input;
    if (!ensureInitialized() || !defaultInput(input))
        return {};
    return AudioFormat{input.sampleRate, input.params.channelCount, SampleType::Float32};
}

bool PortAudioCapture::start(Callback callback, std::string &error)
{
    std::lock_guard lock(m_paMutex);
    if (m_stream) {
        error = "could not start the microphone: it is already running";
        return false;
    }
    if (!callback) {
        error = "could not start the microphone: no receiver for its audio";
        return false;
    }
    if (!ensureInitialized()) {
        error = "could not start the microphone: the audio system could not be initialised";
        return false;
    }
    DefaultInput input;
    if (!defaultInput(input)) {
        error = "could not start the microphone: no input device was found";
        return false;
    }

    PaStream *stream = nullptr;
    PaError err = Pa_OpenStream(&stream, &input.params, nullptr, input.sampleRate, kFramesPerBuffer, paNoFlag,
                                &PortAudioCapture::streamCallback, this);
    if (err != paNoError) {
        error = "could not start the microphone: " + describe(err);
        return false;
    }

    // Everything the capture thread reads is in place before it starts.
    m_stream = stream;
    m_format = AudioFormat{input.sampleRate, input.params.channelCount, SampleType::Float32};
    m_buffer.format = m_format;
    m_buffer.frameLength = 0;
    m_buffer.channelData.assign(size_t(m_format.channels), nullptr);
    m_framesCaptured = 0;
    m_callback = std::move(callback);

    err = Pa_StartStream(stream);
    if (err != paNoError) {
        error = "could not start the microphone: " + describe(err);
        closeStream();
        return false;
    }
    m_running = true;
    return true;
}

void PortAudioCapture::stop()
{
    std::lock_guard lock(m_paMutex);
    if (!m_stream)
        return;
    // Pa_StopStream returns after the last callback has returned.
    Pa_StopStream(m_stream);
    closeStream();
}

void PortAudioCapture::closeStream()
{
    Pa_CloseStream(m_stream);
    m_stream = nullptr;
    m_running = false;
    m_callback = nullptr;
}

bool PortAudioCapture::isRunning() const
{
    return m_running;
}

int PortAudioCapture::streamCallback(const void *input, void *, unsigned long frames,
                                     const PaStreamCallbackTimeInfo *, unsigned long, void *userData)
{
    auto *self = static_cast<PortAudioCapture *>(userData);
    // An input stream always gets input; the guard only keeps a misbehaving
    // host from handing the consumer null channels.
    if (!input || frames == 0)
        return paContinue;

    const auto *channels = static_cast<const float *const *>(input);
    AudioBuffer &buffer = self->m_buffer;
    for (size_t c = 0; c < buffer.channelData.size(); ++c)
        buffer.channelData[c] = channels[c];
    buffer.frameLength = uint32_t(frames);

    // Frames the host dropped in an input overflow never reach us and are not
    // counted: the time is a position in the delivered stream.
    const AudioTime time{self->m_framesCaptured, self->m_format.sampleRate};
    self->m_framesCaptured += int64_t(frames);
    self->m_callback(buffer, time);
    return paContinue;
}

} // namespace sv
