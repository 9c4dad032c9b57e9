#include "SampleRateConverter.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace sv {

namespace {

bool validRate(double rate)
{
    return std::isfinite(rate) && rate > 0.0;
}

// Appends the average of the buffer's channels to `mono`, integer samples
// scaled to [-1, 1). A null channel pointer counts as a silent channel.
template <typename Sample>
void appendMixDown(const AudioBuffer &in, float scale, std::vector<float> &mono)
{
    const size_t frames = in.frameLength;
    const size_t start = mono.size();
    mono.resize(start + frames, 0.0f);
    float *dst = mono.data() + start;
    const float gain = scale / float(in.channelData.size());
    for (const void *data : in.channelData) {
        const auto *samples = static_cast<const Sample *>(data);
        if (!samples)
            continue;
        for (size_t i = 0; i < frames; ++i)
            dst[i] += float(samples[i]) * gain;
    }
}

void appendMixDown(const AudioBuffer &in, std::vector<float> &mono)
{
    switch (in.format.sampleType) {
    case SampleType::Float32:
        appendMixDown<float>(in, 1.0f, mono);
        break;
    case SampleType::Int16:
        appendMixDown<int16_t>(in, 1.0f / 32768.0f, mono);
        break;
    case SampleType::Int32:
        appendMixDown<int32_t>(in, 1.0f / 2147483648.0f, mono);
        break;
    }
}

// Mono mix-down then libsoxr in streaming mode, at its high (20-bit) quality:
// for 4096-frame buffers it costs the same as medium quality (about 11 us per
// buffer either way, against the buffer's 85 ms at 48 kHz), and its extra
// filter delay (~6 ms) is small next to one buffer.
class SoxrConverter final : public SampleRateConverter {
public:
    explicit SoxrConverter(soxr_t soxr) : m_soxr(soxr)
    {
    }
    ~SoxrConverter() override
    {
        soxr_delete(m_soxr);
    }
    SoxrConverter(const SoxrConverter &) = delete;
    SoxrConverter &operator=(const SoxrConverter &) = delete;

    bool convert(const AudioBuffer &in, float *out, size_t capacity, size_t &produced) override
    {
        produced = 0;
        if (in.channelData.empty())
            return false;
        m_mono.clear();
        appendMixDown(in, m_mono);
        // Without idone soxr takes all the input; output that does not fit in
        // `capacity` stays queued inside it and comes out on the next call.
        const soxr_error_t err = soxr_process(m_soxr, m_mono.data(), m_mono.size(), nullptr, out, capacity, &produced);
        return err == nullptr;
    }

private:
    soxr_t m_soxr;
    std::vector<float> m_mono; // reused: grows to one buffer's length once
};

// Equal rates: only the mix-down, sample for sample, with no filter delay.
class MonoMixer final : public SampleRateConverter {
public:
    bool convert(const AudioBuffer &in, float *out, size_t capacity, size_t &produced) override
    {
        produced = 0;
        if (in.channelData.empty())
            return false;
        appendMixDown(in, m_queue);
        // Like the soxr path, what does not fit is kept for the next call.
        produced = std::min(capacity, m_queue.size());
        std::copy_n(m_queue.begin(), produced, out);
        m_queue.erase(m_queue.begin(), m_queue.begin() + ptrdiff_t(produced));
        return true;
    }

private:
    std::vector<float> m_queue; // reused: empty between calls unless `capacity` was short
};

} // namespace

std::unique_ptr<SampleRateConverter> makeSampleRateConverter(const AudioFormat &input, double outputRate)
{
    if (!validRate(input.sampleRate) || !validRate(outputRate) || input.channels < 1)
        return nullptr;
    if (input.sampleRate == outputRate)
        return std::make_unique<MonoMixer>();

    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1); // the capture thread only, no helper threads
    soxr_error_t err = nullptr;
    soxr_t soxr = soxr_create(input.sampleRate, outputRate, 1, &err, &io, &quality, &runtime);
    if (err || !soxr) {
        soxr_delete(soxr);
        return nullptr;
    }
    return std::make_unique<SoxrConverter>(soxr);
}

} // namespace sv
