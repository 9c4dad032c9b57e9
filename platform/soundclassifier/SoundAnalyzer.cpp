// makeSoundAnalyzer: the classifier behind the platform's analyzer interface.
// Buffers in the microphone's format are mixed down and resampled to 16 kHz
// by the project's streaming converter, then classified by the engine.

#include "ClassificationEngine.h"
#include "platform/SampleRateConverter.h"
#include "platform/SoundClassifier.h"

#include <cmath>
#include <string>

namespace sv {

namespace {

class ConvertingSoundAnalyzer final : public SoundAnalyzer {
public:
    ConvertingSoundAnalyzer(const AudioFormat &format, std::unique_ptr<SampleRateConverter> converter,
                            ResultHandler onResult, ErrorHandler onError)
        : m_format(format)
        , m_converter(std::move(converter))
        , m_onResult(std::move(onResult))
        , m_onError(std::move(onError))
        , m_engine([this](const ClassificationEngine::Window &window) { report(window); })
    {
    }

    void analyze(const AudioBuffer &buffer, int64_t framePosition) override
    {
        if (buffer.format.sampleRate != m_format.sampleRate || buffer.format.channels != m_format.channels
            || buffer.format.sampleType != m_format.sampleType
            || buffer.channelData.size() != size_t(m_format.channels)) {
            fail("buffer format differs from the analyzer's input format");
            return;
        }
        if (buffer.frameLength == 0)
            return;
        if (!m_started) {
            m_started = true;
            m_positionOffset = framePosition;
        } else if (framePosition != m_expectedPosition) {
            // Frames went missing (or came twice): later windows keep the
            // positions the caller uses, the audio itself is taken as it comes.
            m_positionOffset += framePosition - m_expectedPosition;
        }
        m_expectedPosition = framePosition + int64_t(buffer.frameLength);

        const double ratio = analysis::sampleRate / m_format.sampleRate;
        m_converted.resize(size_t(std::ceil(double(buffer.frameLength) * ratio)) + 1024);
        size_t produced = 0;
        if (!m_converter->convert(buffer, m_converted.data(), m_converted.size(), produced)) {
            fail("sample-rate conversion failed");
            return;
        }
        m_engine.feed(m_converted.data(), produced);
    }

private:
    void report(const ClassificationEngine::Window &window)
    {
        SoundAnalysisResult result;
        result.framePosition =
            m_positionOffset + std::llround(double(window.startSample) * m_format.sampleRate / analysis::sampleRate);
        result.durationSeconds = ClassificationEngine::windowSeconds;
        result.classifications = window.classifications;
        if (m_onResult)
            m_onResult(result);
    }

    void fail(const std::string &message)
    {
        if (m_onError)
            m_onError(message);
    }

    AudioFormat m_format;
    std::unique_ptr<SampleRateConverter> m_converter;
    ResultHandler m_onResult;
    ErrorHandler m_onError;
    ClassificationEngine m_engine;
    std::vector<float> m_converted;
    bool m_started = false;
    int64_t m_positionOffset = 0;  // input frame of the engine's first sample
    int64_t m_expectedPosition = 0;
};

} // namespace

std::unique_ptr<SoundAnalyzer> makeSoundAnalyzer(const AudioFormat &format, SoundAnalyzer::ResultHandler onResult,
                                                 SoundAnalyzer::ErrorHandler onError, std::string &error)
{
    if (!std::isfinite(format.sampleRate) || format.sampleRate <= 0.0) {
        error = "unusable sample rate " + std::to_string(format.sampleRate);
        return nullptr;
    }
    if (format.channels < 1) {
        error = "unusable channel count " + std::to_string(format.channels);
        return nullptr;
    }
    std::unique_ptr<SampleRateConverter> converter = makeSampleRateConverter(format, analysis::sampleRate);
    if (!converter) {
        error = "no sample-rate converter for this format";
        return nullptr;
    }
    return std::make_unique<ConvertingSoundAnalyzer>(format, std::move(converter), std::move(onResult),
                                                     std::move(onError));
}

} // namespace sv
