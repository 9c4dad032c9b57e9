#pragma once

#include "AudioCapture.h"

#include <atomic>
#include <mutex>

typedef void PaStream;
struct PaStreamCallbackTimeInfo;

namespace sv {

// AudioCapture on PortAudio's default input device: its default rate and
// channel count (at most 2), 32-bit float, non-interleaved, 4096 frames per
// callback. The capture thread is PortAudio's callback thread.
//
// checkAccess() re-initialises PortAudio while no stream is open, so that a
// device or sound server that appeared since the last call is found. All
// PortAudio calls are serialised; none is made from the capture thread.
// A wedged sound server can make PortAudio (through ALSA) block; checkAccess()
// runs on a worker thread for that reason, but while it blocks, inputFormat()
// and start() on the main thread wait for it too.
class PortAudioCapture final : public AudioCapture {
public:
    PortAudioCapture();
    ~PortAudioCapture() override;

    bool checkAccess() override;
    AudioFormat inputFormat() override;
    bool start(Callback callback, std::string &error) override;
    void stop() override;
    // Whether a stream is open (between a successful start() and stop()).
    // Safe from any thread, the capture callback included.
    bool isRunning() const override;

private:
    static int streamCallback(const void *input, void *output, unsigned long frames,
                              const PaStreamCallbackTimeInfo *timeInfo, unsigned long statusFlags, void *userData);
    bool ensureInitialized();
    void terminate();
    void closeStream();

    mutable std::mutex m_paMutex; // PortAudio's API is not thread-safe
    bool m_initialized = false;
    PaStream *m_stream = nullptr;
    std::atomic<bool> m_running{false};

    // Set by start() before the stream starts, read by the capture thread
    // while it runs, cleared by stop() after the stream has stopped.
    Callback m_callback;
    AudioFormat m_format;
    AudioBuffer m_buffer;         // capture thread only: reused so the callback does not allocate
    int64_t m_framesCaptured = 0; // capture thread only
};

} // namespace sv
