#include "TestSignals.h"

#include "platform/SoundClassifier.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <optional>
#include <set>
#include <string>

namespace sv {
namespace {

using test::Signal;
using test::SignalBuilder;

constexpr double rate = 16000.0;
constexpr uint32_t bufferFrames = 4096;

const std::set<std::string> alertLabels = {
    "smoke_detector", "carbon_monoxide_detector", "fire_alarm", "siren", "beep",
    "alarm_clock", "telephone_bell_ringing", "doorbell", "knock",
};

// What the analyzer reported for one stream.
struct Heard {
    double rate = 0;
    int64_t start = 0;
    std::vector<SoundAnalysisResult> results;
    std::vector<std::string> errors;

    double endOf(const SoundAnalysisResult &r) const
    {
        return double(r.framePosition - start) / rate + r.durationSeconds;
    }
    // Seconds of audio until the first window whose top label is `label`
    // with an alert's confidence.
    std::optional<double> firstTop(const std::string &label) const
    {
        for (const auto &r : results)
            if (!r.classifications.empty() && r.classifications[0].identifier == label
                && r.classifications[0].confidence >= 0.5)
                return endOf(r);
        return std::nullopt;
    }
    // Every label that came first with an alert's confidence, once each.
    std::set<std::string> alertsOnTop() const
    {
        std::set<std::string> found;
        for (const auto &r : results)
            if (!r.classifications.empty() && r.classifications[0].confidence >= 0.5
                && alertLabels.count(r.classifications[0].identifier))
                found.insert(r.classifications[0].identifier);
        return found;
    }
    double shareOnTop(const std::string &label) const
    {
        size_t n = 0;
        for (const auto &r : results)
            n += !r.classifications.empty() && r.classifications[0].identifier == label;
        return results.empty() ? 0.0 : double(n) / double(results.size());
    }
};

template <typename Sample>
std::vector<Sample> encode(const Signal &mono, double gain)
{
    std::vector<Sample> out(mono.size());
    for (size_t i = 0; i < mono.size(); ++i) {
        const double v = std::clamp(double(mono[i]) * gain, -1.0, 1.0);
        if constexpr (std::is_same_v<Sample, float>)
            out[i] = float(v);
        else
            out[i] = Sample(std::lround(v * double(std::numeric_limits<Sample>::max())));
    }
    return out;
}

// Plays `mono` through a new analyzer in capture-sized buffers of `format`
// (every channel carries the sound, each at its own gain), followed by two
// seconds of silence so that a pattern that is confirmed in its pause can be.
Heard listen(const Signal &sound, AudioFormat format = {rate, 1, SampleType::Float32}, int64_t start = 0)
{
    Heard heard;
    heard.rate = format.sampleRate;
    heard.start = start;
    std::string error;
    auto analyzer = makeSoundAnalyzer(
        format, [&](const SoundAnalysisResult &r) { heard.results.push_back(r); },
        [&](const std::string &message) { heard.errors.push_back(message); }, error);
    EXPECT_TRUE(analyzer) << error;
    if (!analyzer)
        return heard;
    Signal mono = sound;
    mono.resize(mono.size() + size_t(2.0 * format.sampleRate), 0.0f);

    std::vector<std::vector<float>> f32;
    std::vector<std::vector<int16_t>> i16;
    std::vector<std::vector<int32_t>> i32;
    for (int c = 0; c < format.channels; ++c) {
        const double gain = 1.0 - 0.2 * c;
        f32.push_back(encode<float>(mono, gain));
        i16.push_back(encode<int16_t>(mono, gain));
        i32.push_back(encode<int32_t>(mono, gain));
    }
    for (size_t at = 0; at < mono.size(); at += bufferFrames) {
        AudioBuffer buffer{format, uint32_t(std::min<size_t>(bufferFrames, mono.size() - at)), {}};
        for (int c = 0; c < format.channels; ++c) {
            switch (format.sampleType) {
            case SampleType::Float32:
                buffer.channelData.push_back(f32[size_t(c)].data() + at);
                break;
            case SampleType::Int16:
                buffer.channelData.push_back(i16[size_t(c)].data() + at);
                break;
            case SampleType::Int32:
                buffer.channelData.push_back(i32[size_t(c)].data() + at);
                break;
            }
        }
        analyzer->analyze(buffer, start + int64_t(at));
    }
    return heard;
}

// ------------------------------------------------------------ the sounds

SignalBuilder at16k(rate);

Signal repeat(const Signal &s, int times)
{
    Signal out;
    for (int i = 0; i < times; ++i)
        out.insert(out.end(), s.begin(), s.end());
    return out;
}

Signal temporalThree(const SignalBuilder &b, double hz, bool square = false)
{
    return repeat(b.cadence(hz, {{0.5, 0.5}, {0.5, 0.5}, {0.5, 1.5}}, square), 2);
}

Signal temporalFour(const SignalBuilder &b, double hz)
{
    return repeat(b.cadence(hz, {{0.1, 0.1}, {0.1, 0.1}, {0.1, 0.1}, {0.1, 4.9}}), 2);
}

Signal wail(const SignalBuilder &b)
{
    return b.glide([](double t) { return 600.0 * std::pow(1400.0 / 600.0, 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * t / 3.0)); }, 8.0);
}

Signal yelp(const SignalBuilder &b)
{
    return b.glide([](double t) {
        const double phase = std::fmod(t / 0.3, 1.0);
        return 700.0 + 900.0 * (phase < 0.5 ? 2.0 * phase : 2.0 - 2.0 * phase);
    }, 6.0);
}

Signal hiLo(const SignalBuilder &b)
{
    return b.glide([](double t) { return int(t / 0.5) % 2 == 0 ? 580.0 : 435.0; }, 6.0);
}

Signal knocks(const SignalBuilder &b, int count)
{
    Signal out = b.silence(0.5);
    for (int i = 0; i < count; ++i)
        test::mixInto(out, b.knock(), size_t((0.5 + 0.25 * i) * b.rate()));
    out.resize(out.size() + size_t(1.5 * b.rate()), 0.0f);
    return out;
}

Signal dingDong(const SignalBuilder &b)
{
    Signal out = b.silence(0.5);
    test::mixInto(out, b.chime(659.0, 2.5, 0.5), size_t(0.5 * b.rate()));
    test::mixInto(out, b.chime(523.0, 2.5, 0.6), size_t(1.1 * b.rate()));
    return out;
}

// ------------------------------------------------------------ detections

struct Case {
    const char *name;
    std::function<Signal()> sound;
    const char *expected; // the alert label that must come first, or null for none
    double within;        // seconds of audio by which it must have
};

std::ostream &operator<<(std::ostream &os, const Case &c)
{
    return os << c.name;
}

class Detection : public testing::TestWithParam<Case> {};

TEST_P(Detection, ComesFirstInTimeAndAlone)
{
    const Case &c = GetParam();
    const Heard heard = listen(c.sound());
    ASSERT_TRUE(heard.errors.empty());
    const std::optional<double> first = heard.firstTop(c.expected);
    ASSERT_TRUE(first) << c.expected << " never came first";
    EXPECT_LE(*first, c.within);
    // No other alert label takes the top place on a clean signal.
    EXPECT_EQ(heard.alertsOnTop(), std::set<std::string>{c.expected});
}

INSTANTIATE_TEST_SUITE_P(
    Alarms, Detection,
    testing::Values(
        Case{"SmokeAlarmInNoise", [] { return test::withNoise(temporalThree(at16k, 3100), 10); }, "smoke_detector", 5.0},
        Case{"LowFrequencySmokeAlarm", [] { return temporalThree(at16k, 520, true); }, "smoke_detector", 5.0},
        Case{"CarbonMonoxideAlarmInNoise", [] { return test::withNoise(temporalFour(at16k, 3150), 10); },
             "carbon_monoxide_detector", 5.0},
        Case{"WailingSiren", [] { return test::withNoise(wail(at16k), 10); }, "siren", 5.0},
        Case{"YelpingSiren", [] { return yelp(at16k); }, "siren", 5.0},
        Case{"HiLoSiren", [] { return hiLo(at16k); }, "siren", 5.0}),
    [](const testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    EverydayAlerts, Detection,
    testing::Values(
        Case{"ApplianceBeeps", [] { return at16k.cadence(2000, {{0.2, 0.3}, {0.2, 0.3}, {0.2, 0.3}, {0.2, 2.0}}); }, "beep", 4.0},
        Case{"AlarmClock", [] { return repeat(at16k.cadence(4000, {{0.1, 0.1}, {0.1, 0.7}}), 4); }, "alarm_clock", 4.0},
        Case{"TrillRinger",
             [] { return test::concat({at16k.trill(1000, 800, 16, 1.5), at16k.silence(3.0), at16k.trill(1000, 800, 16, 1.5)}); },
             "telephone_bell_ringing", 3.0},
        Case{"DoubleRing", [] { return repeat(at16k.cadence(425, {{0.4, 0.2}, {0.4, 2.0}}), 3); }, "telephone_bell_ringing", 7.0},
        Case{"DoorChime", [] { return dingDong(at16k); }, "doorbell", 4.0},
        Case{"FourKnocks", [] { return knocks(at16k, 4); }, "knock", 4.0}),
    [](const testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });

// ------------------------------------------------------------ near misses

struct NearMiss {
    const char *name;
    std::function<Signal()> sound;
    std::set<std::string> forbidden; // empty: no alert label at all
};

std::ostream &operator<<(std::ostream &os, const NearMiss &c)
{
    return os << c.name;
}

class NearMisses : public testing::TestWithParam<NearMiss> {};

TEST_P(NearMisses, RaiseNoAlert)
{
    const NearMiss &c = GetParam();
    const Heard heard = listen(c.sound());
    ASSERT_FALSE(heard.results.empty());
    std::set<std::string> raised = heard.alertsOnTop();
    if (!c.forbidden.empty()) {
        std::set<std::string> hits;
        std::set_intersection(raised.begin(), raised.end(), c.forbidden.begin(), c.forbidden.end(),
                              std::inserter(hits, hits.end()));
        raised = hits;
    }
    EXPECT_TRUE(raised.empty()) << "raised " << *raised.begin();
}

const std::set<std::string> smokeOrCo = {"smoke_detector", "carbon_monoxide_detector", "fire_alarm"};

INSTANTIATE_TEST_SUITE_P(
    Cases, NearMisses,
    testing::Values(
        // Beeping at 3 kHz is not the smoke alarm's cadence (beeping it may be).
        NearMiss{"SteadyBeepingAtSmokeAlarmPitch",
                 [] { return at16k.cadence(3100, std::vector<std::pair<double, double>>(8, {0.5, 0.5})); }, smokeOrCo},
        NearMiss{"ThreeLongTonesAtSmokeAlarmPitch", [] { return repeat(at16k.cadence(3100, {{1.0, 0.5}, {1.0, 0.5}, {1.0, 1.5}}), 2); },
                 smokeOrCo},
        NearMiss{"FiveFastBeepsAtCoAlarmPitch", [] { return at16k.cadence(3150, std::vector<std::pair<double, double>>(5, {0.1, 0.1})); },
                 smokeOrCo},
        NearMiss{"ContinuousTone", [] { return at16k.tone(3100, 8.0); }, {}},
        NearMiss{"SpeechLikeVoice", [] { return at16k.speechLike(12.0); }, {}},
        NearMiss{"VoiceInNoise", [] { return test::withNoise(at16k.speechLike(12.0), 10); }, {}},
        NearMiss{"RisingWhistle", [] { return at16k.glide([](double t) { return 1500.0 + 125.0 * t; }, 8.0); }, {}},
        NearMiss{"TwoKnocks", [] { return knocks(at16k, 2); }, {}},
        NearMiss{"SingleChime", [] { return test::concat({at16k.silence(0.5), at16k.chime(659, 3.0, 0.5)}); }, {}},
        NearMiss{"Chords", [] { return at16k.chords(10.0); }, {}},
        NearMiss{"WhiteNoise", [] { return at16k.whiteNoise(8.0, 0.1); }, {}},
        NearMiss{"Silence", [] { return at16k.silence(6.0); }, {}}),
    [](const testing::TestParamInfo<NearMiss> &info) { return std::string(info.param.name); });

TEST(Background, IsNamedWhenNothingHappens)
{
    EXPECT_GT(listen(at16k.speechLike(10.0)).shareOnTop("speech"), 0.5);
    EXPECT_GT(listen(at16k.whiteNoise(6.0, 0.1)).shareOnTop("noise"), 0.5);
    EXPECT_EQ(listen(at16k.silence(4.0)).shareOnTop("silence"), 1.0);
}

TEST(Background, SpeechDoesNotHideASmokeAlarm)
{
    Signal sound = at16k.speechLike(10.0);
    Signal alarm = temporalThree(at16k, 3100);
    for (float &v : alarm)
        v *= 1.5f; // about 10 dB above the voice while it sounds
    test::mixInto(sound, alarm);
    const std::optional<double> first = listen(sound).firstTop("smoke_detector");
    ASSERT_TRUE(first);
    EXPECT_LE(*first, 5.0);
}

// ------------------------------------------------------------ formats

struct FormatCase {
    double rate;
    int channels;
    SampleType type;
};

std::ostream &operator<<(std::ostream &os, const FormatCase &c)
{
    return os << c.rate << " Hz x" << c.channels << " type " << int(c.type);
}

class Formats : public testing::TestWithParam<FormatCase> {};

TEST_P(Formats, HearTheSameAlarmWithPositionsInInputFrames)
{
    const FormatCase &c = GetParam();
    const SignalBuilder builder(c.rate);
    const int64_t start = 123456;
    const Heard heard = listen(temporalThree(builder, 3100), {c.rate, c.channels, c.type}, start);
    ASSERT_TRUE(heard.errors.empty());
    const std::optional<double> first = heard.firstTop("smoke_detector");
    ASSERT_TRUE(first);
    EXPECT_LE(*first, 5.0);

    ASSERT_GE(heard.results.size(), 10u);
    EXPECT_EQ(heard.results[0].framePosition, start);
    const auto step = int64_t(std::llround(0.5 * c.rate));
    for (size_t i = 0; i < heard.results.size(); ++i) {
        const SoundAnalysisResult &r = heard.results[i];
        EXPECT_NEAR(double(r.framePosition - start), double(i) * double(step), 2.0);
        EXPECT_DOUBLE_EQ(r.durationSeconds, 1.0);
        ASSERT_FALSE(r.classifications.empty());
        for (size_t k = 0; k < r.classifications.size(); ++k) {
            EXPECT_GE(r.classifications[k].confidence, 0.0);
            EXPECT_LE(r.classifications[k].confidence, 1.0);
            if (k > 0) {
                EXPECT_LE(r.classifications[k].confidence, r.classifications[k - 1].confidence);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Formats,
                         testing::Values(FormatCase{16000, 1, SampleType::Float32}, FormatCase{44100, 2, SampleType::Int16},
                                         FormatCase{48000, 1, SampleType::Int32}, FormatCase{48000, 2, SampleType::Float32},
                                         FormatCase{22050, 1, SampleType::Int16}));

TEST(MakeSoundAnalyzer, RefusesFormatsItCannotAnalyse)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const AudioFormat unusable[] = {
        {0.0, 1, SampleType::Float32}, {-48000.0, 1, SampleType::Float32}, {nan, 2, SampleType::Int16},
        {inf, 1, SampleType::Int32},   {48000.0, 0, SampleType::Float32},  {48000.0, -2, SampleType::Float32},
    };
    for (const AudioFormat &format : unusable) {
        SCOPED_TRACE(testing::Message() << format.sampleRate << " Hz x" << format.channels);
        std::string error;
        EXPECT_EQ(makeSoundAnalyzer(format, nullptr, nullptr, error), nullptr);
        EXPECT_FALSE(error.empty());
    }
}

TEST(SoundAnalyzer, ReportsABufferOfAnotherFormatAndGoesOn)
{
    const AudioFormat mono{rate, 1, SampleType::Float32};
    std::vector<SoundAnalysisResult> results;
    std::vector<std::string> errors;
    std::string error;
    auto analyzer = makeSoundAnalyzer(
        mono, [&](const SoundAnalysisResult &r) { results.push_back(r); },
        [&](const std::string &message) { errors.push_back(message); }, error);
    ASSERT_TRUE(analyzer);

    const Signal noise = at16k.whiteNoise(3.0, 0.1);
    const Signal second(bufferFrames, 0.0f);
    AudioBuffer stereo{{rate, 2, SampleType::Float32}, bufferFrames, {noise.data(), second.data()}};
    analyzer->analyze(stereo, 0);
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_TRUE(results.empty());

    for (size_t at = 0; at + bufferFrames <= noise.size(); at += bufferFrames)
        analyzer->analyze(AudioBuffer{mono, bufferFrames, {noise.data() + at}}, int64_t(at));
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_FALSE(results.empty());
}

} // namespace
} // namespace sv
