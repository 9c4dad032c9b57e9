#include "platform/SampleRateConverter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace sv {
namespace {

constexpr double kOutputRate = 16000.0;
constexpr uint32_t kBufferFrames = 4096;
constexpr double kToneHz = 1000.0;

TEST(MakeSampleRateConverter, RefusesFormatsItCannotConvert)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double inputRate;
        int channels;
        double outputRate;
    };
    const Case cases[] = {
        {0.0, 1, kOutputRate},     {-48000.0, 1, kOutputRate}, {nan, 2, kOutputRate},
        {inf, 2, kOutputRate},     {48000.0, 0, kOutputRate},  {48000.0, -1, kOutputRate},
        {48000.0, 1, 0.0},         {48000.0, 1, nan},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "rate " << c.inputRate << " channels " << c.channels << " to "
                                        << c.outputRate);
        EXPECT_EQ(makeSampleRateConverter({c.inputRate, c.channels, SampleType::Float32}, c.outputRate), nullptr);
    }
}

// A continuous 1 kHz tone in capture-sized buffers, each channel with its own
// amplitude, in any of the sample types a device can deliver.
class ToneSource {
public:
    ToneSource(AudioFormat format, std::vector<double> amplitudes) : m_format(format), m_amplitudes(amplitudes)
    {
        m_storage.resize(size_t(format.channels), std::vector<int32_t>(kBufferFrames));
    }

    AudioBuffer next(uint32_t frames)
    {
        AudioBuffer buffer{m_format, frames, {}};
        for (int c = 0; c < m_format.channels; ++c) {
            void *data = m_storage[size_t(c)].data();
            for (uint32_t i = 0; i < frames; ++i) {
                const double t = double(m_position + i) / m_format.sampleRate;
                const double v = m_amplitudes[size_t(c)] * std::sin(2.0 * std::numbers::pi * kToneHz * t);
                switch (m_format.sampleType) {
                case SampleType::Float32:
                    static_cast<float *>(data)[i] = float(v);
                    break;
                case SampleType::Int16:
                    static_cast<int16_t *>(data)[i] = int16_t(std::lround(v * 32767.0));
                    break;
                case SampleType::Int32:
                    static_cast<int32_t *>(data)[i] = int32_t(std::llround(v * 2147483647.0));
                    break;
                }
            }
            buffer.channelData.push_back(data);
        }
        m_position += frames;
        return buffer;
    }

private:
    AudioFormat m_format;
    std::vector<double> m_amplitudes;
    std::vector<std::vector<int32_t>> m_storage; // 32 bits per sample holds every type
    int64_t m_position = 0;
};

// Feeds `seconds` of the tone through the converter as capture would, with
// `capacity(i)` room for the i-th buffer's output.
template <typename Capacity>
std::vector<float> convertTone(SampleRateConverter &converter, ToneSource &source, double rate, double seconds,
                               Capacity capacity)
{
    std::vector<float> result;
    std::vector<float> out;
    const auto total = int64_t(seconds * rate);
    int i = 0;
    for (int64_t done = 0; done < total; done += kBufferFrames, ++i) {
        const auto frames = uint32_t(std::min<int64_t>(kBufferFrames, total - done));
        out.resize(std::max(out.size(), capacity(i)));
        size_t produced = 0;
        EXPECT_TRUE(converter.convert(source.next(frames), out.data(), capacity(i), produced));
        EXPECT_LE(produced, capacity(i));
        result.insert(result.end(), out.begin(), out.begin() + ptrdiff_t(produced));
    }
    return result;
}

std::vector<float> convertTone(SampleRateConverter &converter, ToneSource &source, double rate, double seconds)
{
    return convertTone(converter, source, rate, seconds, [](int) { return size_t(2 * kBufferFrames); });
}

struct ToneFit {
    double amplitude = 0.0;
    double maxResidual = 0.0;
    double zeroCrossingHz = 0.0;
};

// Fits a 1 kHz sine of free amplitude and phase to x[from..) over whole
// periods, and measures the frequency from upward zero crossings. A lost,
// repeated or reset stretch anywhere, buffer boundaries included, leaves a
// residual the size of the tone itself.
ToneFit fitTone(const std::vector<float> &x, size_t from)
{
    const double w = 2.0 * std::numbers::pi * kToneHz / kOutputRate;
    const size_t period = size_t(kOutputRate / kToneHz);
    const size_t n = (x.size() - from) / period * period;
    double s = 0.0, c = 0.0;
    for (size_t i = from; i < from + n; ++i) {
        s += x[i] * std::sin(w * double(i));
        c += x[i] * std::cos(w * double(i));
    }
    s *= 2.0 / double(n);
    c *= 2.0 / double(n);
    ToneFit fit;
    fit.amplitude = std::hypot(s, c);
    int crossings = 0;
    for (size_t i = from; i < from + n; ++i) {
        const double model = s * std::sin(w * double(i)) + c * std::cos(w * double(i));
        fit.maxResidual = std::max(fit.maxResidual, std::abs(x[i] - model));
        if (i > from && x[i - 1] < 0.0f && x[i] >= 0.0f)
            ++crossings;
    }
    fit.zeroCrossingHz = crossings * kOutputRate / double(n);
    return fit;
}

struct ToneCase {
    const char *name;
    double rate;
    SampleType type;
    std::vector<double> amplitudes; // per channel; the mono output carries their mean
};

void PrintTo(const ToneCase &c, std::ostream *os)
{
    *os << c.name;
}

class ConvertsTone : public testing::TestWithParam<ToneCase> {
};

TEST_P(ConvertsTone, ToContinuous16kHzMonoAtTheRateRatio)
{
    const ToneCase &tc = GetParam();
    const AudioFormat format{tc.rate, int(tc.amplitudes.size()), tc.type};
    auto converter = makeSampleRateConverter(format, kOutputRate);
    ASSERT_NE(converter, nullptr);
    ToneSource source(format, tc.amplitudes);
    const double seconds = 2.0;
    const std::vector<float> out = convertTone(*converter, source, tc.rate, seconds);

    // A live stream is never flushed, so the output trails the input by the
    // resampler's filter delay plus its block size: under 60 ms at these rates.
    const double expected = seconds * kOutputRate;
    EXPECT_LE(double(out.size()), expected + 1.0);
    EXPECT_GE(double(out.size()), expected - 0.06 * kOutputRate);

    double mean = 0.0;
    for (double a : tc.amplitudes)
        mean += a / double(tc.amplitudes.size());
    // Past the filter's start-up transient.
    const ToneFit fit = fitTone(out, size_t(0.1 * kOutputRate));
    EXPECT_NEAR(fit.zeroCrossingHz, kToneHz, 2.0);
    EXPECT_NEAR(fit.amplitude, mean, 0.01 * mean);
    EXPECT_LT(fit.maxResidual, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ConvertsTone,
    testing::Values(ToneCase{"Stereo48kFloat", 48000.0, SampleType::Float32, {0.5, 0.5}},
                    ToneCase{"UnevenStereoIsAveraged", 48000.0, SampleType::Float32, {0.8, 0.2}},
                    ToneCase{"Mono44k1Float", 44100.0, SampleType::Float32, {0.5}},
                    ToneCase{"Stereo48kInt16", 48000.0, SampleType::Int16, {0.5, 0.5}},
                    ToneCase{"Mono44k1Int32", 44100.0, SampleType::Int32, {0.7}},
                    ToneCase{"Mono8kFloatUpsampled", 8000.0, SampleType::Float32, {0.5}}),
    [](const testing::TestParamInfo<ToneCase> &info) { return std::string(info.param.name); });

TEST(SampleRateConverter, SixteenKilohertzMonoPassesThroughSampleForSample)
{
    const AudioFormat format{kOutputRate, 1, SampleType::Float32};
    auto converter = makeSampleRateConverter(format, kOutputRate);
    ASSERT_NE(converter, nullptr);
    ToneSource source(format, {0.5});
    ToneSource reference(format, {0.5});
    const std::vector<float> out = convertTone(*converter, source, kOutputRate, 1.0);

    ASSERT_EQ(out.size(), size_t(kOutputRate));
    std::vector<float> in;
    while (in.size() < out.size()) {
        const AudioBuffer buffer = reference.next(kBufferFrames);
        const float *samples = buffer.floatChannel(0);
        in.insert(in.end(), samples, samples + kBufferFrames);
    }
    in.resize(out.size());
    EXPECT_EQ(out, in);
}

// Output that does not fit is delivered later, not dropped: a stream drained
// through a short buffer every other call matches one converted with room.
TEST(SampleRateConverter, KeepsOutputThatDoesNotFitForTheNextCall)
{
    for (double rate : {48000.0, kOutputRate}) {
        SCOPED_TRACE(testing::Message() << "rate " << rate);
        const AudioFormat format{rate, 2, SampleType::Float32};
        auto roomy = makeSampleRateConverter(format, kOutputRate);
        auto cramped = makeSampleRateConverter(format, kOutputRate);
        ASSERT_NE(roomy, nullptr);
        ASSERT_NE(cramped, nullptr);
        ToneSource a(format, {0.5, 0.5});
        ToneSource b(format, {0.5, 0.5});
        const std::vector<float> expected = convertTone(*roomy, a, rate, 2.0);
        const std::vector<float> got =
            convertTone(*cramped, b, rate, 2.0, [](int i) { return size_t(i % 2 ? 3 * kBufferFrames : 500); });

        // Only the very end may still be queued, never more than one short call's worth.
        ASSERT_GE(got.size() + kBufferFrames, expected.size());
        ASSERT_LE(got.size(), expected.size());
        EXPECT_TRUE(std::equal(got.begin(), got.end(), expected.begin()));
    }
}

} // namespace
} // namespace sv
