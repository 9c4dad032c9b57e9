// The captioner on the real microphone path: PortAudio through a private
// PulseAudio server (tests/audio/with-pulse), libsoxr, the rolling buffer.
// Only the speech engine is a fake, so that no model is needed.

#include "captioning/WhisperCaptioner.h"
#include "platform/PortAudioCapture.h"
#include "platform/SampleRateConverter.h"

#include "support/Fakes.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

using namespace sv;
using namespace sv::test;

namespace {

TEST(CaptionerMicrophone, SpeechPlayedIntoTheSinkReachesTheBufferAt16kHz)
{
    const char *sink = std::getenv("SONIVANE_TEST_SINK");
    const char *scratch = std::getenv("SONIVANE_TEST_DIR");
    ASSERT_TRUE(sink && scratch) << "run through tests/audio/with-pulse";

    ManualDispatcher dispatcher;
    PortAudioCapture capture;
    FakeEngineFactory engines;
    ParkedPacer pacer;
    QTemporaryDir logDir;
    CaptionerServices s;
    s.dispatcher = &dispatcher;
    s.capture = &capture;
    s.engines = &engines;
    s.makeConverter = [](const AudioFormat &f) { return makeSampleRateConverter(f, WhisperCaptioner::sampleRate); };
    s.pacer = &pacer;
    s.debugLogPath = logDir.filePath("sv-whisper-debug.log");
    WhisperCaptioner captioner(std::move(s));

    std::atomic<int64_t> framesSeen{0};
    std::atomic<double> rate{0};
    captioner.onAudioBuffer = [&](const AudioBuffer &b, AudioTime t) {
        EXPECT_EQ(t.sampleTime, framesSeen.load());
        framesSeen += b.frameLength;
        rate = b.format.sampleRate;
    };
    bool listening = false;
    captioner.onStatus = [&](const WhisperCaptioner::Status &st) {
        listening = listening || st.kind == WhisperCaptioner::Status::Kind::Listening;
    };
    captioner.start();
    ASSERT_TRUE(dispatcher.runUntil([&] { return listening; }, 20000ms));
    // The null sink wakes from suspension before the first buffer arrives.
    ASSERT_TRUE(dispatcher.runUntil([&] { return framesSeen.load() > 0; }, 10000ms));

    const std::string wav = std::string(scratch) + "/speech.wav";
    const std::string say = "espeak-ng -w " + wav + " 'Testing the microphone path, one two three.'";
    ASSERT_EQ(std::system(say.c_str()), 0);
    ASSERT_EQ(std::system(("paplay -d " + std::string(sink) + " " + wav).c_str()), 0);

    // All the speech is in the 12 s buffer now: one step hands it to the
    // engine. The sample count follows the rate ratio, and the speech stands
    // well above the silence threshold.
    const int64_t frames = framesSeen.load();
    ASSERT_GT(rate.load(), 0.0);
    engines.engine->text = "";
    captioner.tick();
    ASSERT_EQ(engines.engine->calls.load(), 1);
    const std::vector<float> &heard = engines.engine->lastSamples;
    const double expected = std::min(double(frames) * 16000.0 / rate.load(), 192000.0);
    EXPECT_NEAR(double(heard.size()), expected, 0.02 * expected + 4096);
    double loudest = 0;
    for (size_t i = 0; i + 1600 <= heard.size(); i += 1600) {
        double sum = 0;
        for (size_t j = i; j < i + 1600; ++j)
            sum += double(heard[j]) * heard[j];
        loudest = std::max(loudest, std::sqrt(sum / 1600));
    }
    EXPECT_GT(loudest, 0.02);

    captioner.stop();
    EXPECT_EQ(captioner.sampleCount(), 0u);
    const int64_t afterStop = framesSeen.load();
    dispatcher.runUntil([] { return false; }, 300ms);
    EXPECT_EQ(framesSeen.load(), afterStop) << "capture went on after stop()";
}

} // namespace
