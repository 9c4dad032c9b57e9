#pragma once

#include "platform/AudioCapture.h"
#include "tools/wav/WavFile.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace sv {

// A microphone that plays a WAV file: 4096-frame buffers in the file's own
// format, followed by `paddingSeconds` of silence so the last sentence can
// end. In real time a thread of its own delivers them at the file's rate;
// otherwise nothing is delivered until feed() is called.
class ReplayCapture final : public AudioCapture {
public:
    ReplayCapture(WavFile file, bool realTime, double paddingSeconds);
    ~ReplayCapture() override;

    bool checkAccess() override { return true; }
    AudioFormat inputFormat() override;
    bool start(Callback callback, std::string &error) override;
    void stop() override;
    bool isRunning() const override;

    // Delivers the buffers that `seconds` more of audio amounts to (fractions
    // carry over to the next call). Returns false once everything is fed.
    bool feed(double seconds);
    bool finished() const { return m_fed.load() >= m_totalFrames; }
    double secondsFed() const { return double(m_fed.load()) / m_file.sampleRate; }

private:
    void deliverOne();

    WavFile m_file;
    bool m_realTime;
    size_t m_totalFrames;
    std::atomic<size_t> m_fed{0};
    double m_owedFrames = 0;
    std::vector<std::vector<float>> m_block;

    mutable std::mutex m_mutex; // guards m_callback
    Callback m_callback;
    std::thread m_feeder;
    std::atomic<bool> m_stopFeeder{false};
};

} // namespace sv
