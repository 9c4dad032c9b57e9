// PortAudioCapture against a real sound server: run through with-pulse, which
// provides a private PulseAudio whose default source hears the sink we play
// into. Speech from espeak-ng is played there and must come out of the
// capture callback, converted to 16 kHz, recognisably the same signal.

#include "platform/PortAudioCapture.h"
#include "platform/SampleRateConverter.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sv {
namespace {

using namespace std::chrono_literals;

constexpr double kSpeechRate = 16000.0;
constexpr auto kDeadline = 10s;

std::string envOr(const char *name, const char *fallback = "")
{
    const char *value = std::getenv(name);
    return value ? value : fallback;
}

std::string shellQuoted(const std::string &s)
{
    return "'" + s + "'";
}

// Receives the capture callback: checks each buffer's shape and timing as it
// arrives and keeps the audio converted to 16 kHz mono.
class Recorder {
public:
    explicit Recorder(AudioFormat expected)
        : m_expected(expected), m_converter(makeSampleRateConverter(expected, kSpeechRate))
    {
        m_out.resize(8192);
    }

    AudioCapture::Callback callback()
    {
        return [this](const AudioBuffer &buffer, AudioTime time) { onBuffer(buffer, time); };
    }

    bool hasConverter() const
    {
        return m_converter != nullptr;
    }

    // Waits until at least `buffers` buffers have arrived.
    bool waitForBuffers(size_t buffers)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, kDeadline, [&] { return m_times.size() >= buffers; });
    }

    // Waits until at least `samples` converted samples have arrived.
    bool waitForSamples(size_t samples)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, kDeadline, [&] { return m_speech.size() >= samples; });
    }

    size_t samples()
    {
        std::lock_guard lock(m_mutex);
        return m_speech.size();
    }

    // From now on any call is a call after stop() returned.
    void markStopped()
    {
        m_stopped = true;
    }

    bool inCallback() const
    {
        return m_inCallback;
    }
    int callsAfterStop() const
    {
        return m_callsAfterStop;
    }

    struct Result {
        std::vector<AudioTime> times;
        std::vector<uint32_t> lengths;
        std::vector<float> speech;
        std::vector<std::string> faults;
    };
    Result result()
    {
        std::lock_guard lock(m_mutex);
        return {m_times, m_lengths, m_speech, m_faults};
    }

private:
    void onBuffer(const AudioBuffer &buffer, AudioTime time)
    {
        m_inCallback = true;
        if (m_stopped)
            ++m_callsAfterStop;
        std::string fault;
        if (buffer.format.sampleRate != m_expected.sampleRate || buffer.format.channels != m_expected.channels ||
            buffer.format.sampleType != SampleType::Float32 || int(buffer.channelData.size()) != m_expected.channels)
            fault = "buffer format differs from inputFormat()";
        for (int c = 0; c < buffer.format.channels && fault.empty(); ++c)
            if (!buffer.floatChannel(c))
                fault = "null channel " + std::to_string(c);
        size_t produced = 0;
        if (fault.empty() && !m_converter->convert(buffer, m_out.data(), m_out.size(), produced))
            fault = "conversion failed";
        {
            std::lock_guard lock(m_mutex);
            m_times.push_back(time);
            m_lengths.push_back(buffer.frameLength);
            m_speech.insert(m_speech.end(), m_out.begin(), m_out.begin() + ptrdiff_t(produced));
            if (!fault.empty())
                m_faults.push_back(fault);
        }
        m_changed.notify_all();
        m_inCallback = false;
    }

    AudioFormat m_expected;
    std::unique_ptr<SampleRateConverter> m_converter;
    std::vector<float> m_out;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<AudioTime> m_times;
    std::vector<uint32_t> m_lengths;
    std::vector<float> m_speech;
    std::vector<std::string> m_faults;
    std::atomic<bool> m_inCallback{false};
    std::atomic<bool> m_stopped{false};
    std::atomic<int> m_callsAfterStop{0};
};

void expectRunningFrameCount(const Recorder::Result &r, double rate)
{
    ASSERT_FALSE(r.times.empty());
    EXPECT_EQ(r.times.front().sampleTime, 0);
    for (size_t i = 0; i < r.times.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "buffer " << i);
        EXPECT_EQ(r.lengths[i], 4096u);
        EXPECT_EQ(r.times[i].sampleRate, rate);
        if (i > 0) {
            EXPECT_EQ(r.times[i].sampleTime - r.times[i - 1].sampleTime, int64_t(r.lengths[i - 1]));
        }
    }
    EXPECT_TRUE(r.faults.empty()) << r.faults.front();
}

class PrivatePulse : public testing::Test {
protected:
    void SetUp() override
    {
        m_sink = envOr("SONIVANE_TEST_SINK");
        m_dir = envOr("SONIVANE_TEST_DIR");
        if (m_sink.empty() || m_dir.empty() || envOr("PULSE_SERVER").empty())
            GTEST_SKIP() << "needs the private sound server: run through tests/audio/with-pulse";
    }

    std::string m_sink;
    std::string m_dir;
};

bool readFloats(const std::string &path, std::vector<float> &out)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return false;
    const auto bytes = size_t(in.tellg());
    out.resize(bytes / sizeof(float));
    in.seekg(0);
    return bool(in.read(reinterpret_cast<char *>(out.data()), std::streamsize(out.size() * sizeof(float))));
}

double rms(const float *x, size_t n)
{
    double sum = 0.0;
    for (size_t i = 0; i < n; ++i)
        sum += double(x[i]) * x[i];
    return n ? std::sqrt(sum / double(n)) : 0.0;
}

struct Match {
    double correlation = 0.0; // normalised: 1 for an exact (scaled) copy
    size_t offset = 0;
};

double correlationAt(const std::vector<float> &reference, const std::vector<float> &captured, size_t offset)
{
    const float *c = captured.data() + offset;
    double dot = 0.0, rr = 0.0, cc = 0.0;
    for (size_t i = 0; i < reference.size(); ++i) {
        dot += double(reference[i]) * c[i];
        rr += double(reference[i]) * reference[i];
        cc += double(c[i]) * c[i];
    }
    return rr > 0.0 && cc > 0.0 ? dot / std::sqrt(rr * cc) : 0.0;
}

// 10 ms RMS frames: cheap to line up over every offset.
std::vector<float> envelope(const std::vector<float> &x, size_t frame)
{
    std::vector<float> e;
    for (size_t i = 0; i + frame <= x.size(); i += frame)
        e.push_back(float(rms(x.data() + i, frame)));
    return e;
}

// Where `reference` sits in `captured`, and how alike they are there: the
// envelopes give the offset to within a frame, the samples settle it.
Match locate(const std::vector<float> &reference, const std::vector<float> &captured)
{
    Match best;
    const size_t frame = 160;
    const std::vector<float> refEnv = envelope(reference, frame);
    const std::vector<float> capEnv = envelope(captured, frame);
    if (refEnv.empty() || capEnv.size() < refEnv.size())
        return best;
    double coarseBest = -1.0;
    size_t coarse = 0;
    for (size_t k = 0; k + refEnv.size() <= capEnv.size(); ++k) {
        const double corr = correlationAt(refEnv, capEnv, k);
        if (corr > coarseBest) {
            coarseBest = corr;
            coarse = k;
        }
    }
    const size_t centre = coarse * frame;
    const size_t from = centre > 2 * frame ? centre - 2 * frame : 0;
    for (size_t offset = from; offset <= centre + 2 * frame && offset + reference.size() <= captured.size(); ++offset) {
        const double corr = correlationAt(reference, captured, offset);
        if (corr > best.correlation)
            best = {corr, offset};
    }
    return best;
}

TEST_F(PrivatePulse, CapturesSpeechPlayedIntoTheDefaultSource)
{
    const std::string wav = m_dir + "/speech.wav";
    const std::string ref = m_dir + "/speech.f32";
    const std::string speak = "espeak-ng -w " + shellQuoted(wav) + " 'the quick brown fox jumps over the lazy dog'";
    ASSERT_EQ(std::system(speak.c_str()), 0);
    // The reference at 16 kHz through an independent resampler.
    const std::string resample =
        "sox " + shellQuoted(wav) + " -t raw -e floating-point -b 32 -c 1 -r 16000 " + shellQuoted(ref);
    ASSERT_EQ(std::system(resample.c_str()), 0);
    std::vector<float> reference;
    ASSERT_TRUE(readFloats(ref, reference));
    ASSERT_GT(reference.size(), size_t(kSpeechRate)); // over a second of speech

    PortAudioCapture capture;
    ASSERT_TRUE(capture.checkAccess());
    const AudioFormat format = capture.inputFormat();
    EXPECT_GE(format.sampleRate, 8000.0);
    EXPECT_LE(format.sampleRate, 192000.0);
    EXPECT_GE(format.channels, 1);
    EXPECT_LE(format.channels, 2);
    EXPECT_EQ(format.sampleType, SampleType::Float32);

    Recorder recorder(format);
    ASSERT_TRUE(recorder.hasConverter());
    std::string error;
    ASSERT_TRUE(capture.start(recorder.callback(), error)) << error;
    EXPECT_TRUE(capture.isRunning());
    ASSERT_TRUE(recorder.waitForBuffers(1)) << "no audio within the deadline";

    ASSERT_EQ(std::system(("paplay -d " + shellQuoted(m_sink) + " " + shellQuoted(wav)).c_str()), 0);
    // paplay returns once the sink has played everything; give capture a
    // second beyond that so the tail has passed through the source too.
    ASSERT_TRUE(recorder.waitForSamples(recorder.samples() + size_t(kSpeechRate)));
    capture.stop();
    EXPECT_FALSE(recorder.inCallback()) << "stop() returned while a callback was running";
    EXPECT_FALSE(capture.isRunning());

    const Recorder::Result r = recorder.result();
    expectRunningFrameCount(r, format.sampleRate);

    const Match match = locate(reference, r.speech);
    EXPECT_GT(match.correlation, 0.9) << "the captured audio does not contain the speech";
    if (match.correlation > 0.0) {
        const double level =
            rms(r.speech.data() + match.offset, reference.size()) / rms(reference.data(), reference.size());
        EXPECT_GT(level, 0.5);
        EXPECT_LT(level, 2.0);
    }
    // The null sink is digitally silent when nothing plays: everything before
    // the speech is zero, so the signal is no artefact of the capture path.
    EXPECT_LT(rms(r.speech.data(), std::min(match.offset, r.speech.size())), 1e-4);
}

TEST_F(PrivatePulse, RefusesASecondStartAndRestartsAfterStop)
{
    PortAudioCapture capture;
    ASSERT_TRUE(capture.checkAccess());
    const AudioFormat format = capture.inputFormat();

    Recorder first(format);
    std::string error;
    ASSERT_TRUE(capture.start(first.callback(), error)) << error;
    ASSERT_TRUE(first.waitForBuffers(1));

    Recorder intruder(format);
    std::string refusal;
    EXPECT_FALSE(capture.start(intruder.callback(), refusal));
    EXPECT_FALSE(refusal.empty());
    EXPECT_TRUE(capture.isRunning());
    // The running stream carries on, still delivering to its own callback.
    const size_t before = first.result().times.size();
    EXPECT_TRUE(first.waitForBuffers(before + 2));

    capture.stop();
    EXPECT_FALSE(first.inCallback()) << "stop() returned while a callback was running";
    first.markStopped();
    EXPECT_FALSE(capture.isRunning());
    capture.stop(); // stopping twice is harmless

    Recorder second(format);
    ASSERT_TRUE(capture.start(second.callback(), error)) << error;
    EXPECT_TRUE(second.waitForBuffers(3));
    capture.stop();

    // By now the first stream had ample time for a stray late callback.
    EXPECT_EQ(first.callsAfterStop(), 0);
    EXPECT_TRUE(intruder.result().times.empty());
    expectRunningFrameCount(first.result(), format.sampleRate);
    expectRunningFrameCount(second.result(), format.sampleRate); // counting restarts at 0
}

// With no sound server reachable and no sound card, there is no microphone:
// access is refused and start() fails with a reason. When the server becomes
// reachable, the next checkAccess() finds it without restarting the program.
TEST_F(PrivatePulse, NoMicrophoneWithoutServerUntilItAppears)
{
    struct stat st {};
    if (stat("/dev/snd", &st) == 0)
        GTEST_SKIP() << "this machine has sound hardware, which would be the default device";

    const std::string server = envOr("PULSE_SERVER");
    setenv("PULSE_SERVER", ("unix:" + m_dir + "/no-such-socket").c_str(), 1);
    PortAudioCapture capture;
    EXPECT_FALSE(capture.checkAccess());
    EXPECT_EQ(capture.inputFormat().sampleRate, 0.0);
    std::string error;
    Recorder recorder(AudioFormat{48000.0, 1, SampleType::Float32});
    EXPECT_FALSE(capture.start(recorder.callback(), error));
    EXPECT_NE(error.find("microphone"), std::string::npos) << error;
    EXPECT_FALSE(capture.isRunning());

    setenv("PULSE_SERVER", server.c_str(), 1);
    EXPECT_TRUE(capture.checkAccess());
    EXPECT_GT(capture.inputFormat().sampleRate, 0.0);
}

} // namespace
} // namespace sv
