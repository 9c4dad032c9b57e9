#include "ReplayCapture.h"

#include "captioning/WhisperCaptioner.h"

#include <chrono>
#include <cmath>

namespace sv {

namespace {
constexpr size_t blockFrames = WhisperCaptioner::framesPerBuffer;
}

ReplayCapture::ReplayCapture(WavFile file, bool realTime, double paddingSeconds)
    : m_file(std::move(file))
    , m_realTime(realTime)
{
    const size_t frames = m_file.frames() + size_t(paddingSeconds * m_file.sampleRate);
    m_totalFrames = (frames + blockFrames - 1) / blockFrames * blockFrames;
    m_block.assign(m_file.channels.size(), std::vector<float>(blockFrames));
}

ReplayCapture::~ReplayCapture()
{
    stop();
}

AudioFormat ReplayCapture::inputFormat()
{
    return {m_file.sampleRate, int(m_file.channels.size()), SampleType::Float32};
}

bool ReplayCapture::start(Callback callback, std::string &error)
{
    std::lock_guard guard(m_mutex);
    if (m_callback) {
        error = "the recording is already playing";
        return false;
    }
    m_callback = std::move(callback);
    if (m_realTime) {
        m_stopFeeder = false;
        m_feeder = std::thread([this] {
            using clock = std::chrono::steady_clock;
            const auto period = std::chrono::duration<double>(blockFrames / m_file.sampleRate);
            auto due = clock::now();
            while (!m_stopFeeder && !finished()) {
                due += std::chrono::duration_cast<clock::duration>(period);
                std::this_thread::sleep_until(due); // pacing a simulated microphone, not a race
                deliverOne();
            }
        });
    }
    return true;
}

void ReplayCapture::stop()
{
    m_stopFeeder = true;
    if (m_feeder.joinable() && m_feeder.get_id() != std::this_thread::get_id())
        m_feeder.join();
    std::lock_guard guard(m_mutex);
    m_callback = nullptr;
}

bool ReplayCapture::isRunning() const
{
    std::lock_guard guard(m_mutex);
    return bool(m_callback);
}

bool ReplayCapture::feed(double seconds)
{
    m_owedFrames += seconds * m_file.sampleRate;
    while (m_owedFrames >= blockFrames && !finished()) {
        deliverOne();
        m_owedFrames -= blockFrames;
    }
    return !finished();
}

void ReplayCapture::deliverOne()
{
    const size_t start = m_fed.load();
    const size_t fileFrames = m_file.frames();
    for (size_t c = 0; c < m_block.size(); ++c)
        for (size_t i = 0; i < blockFrames; ++i)
            m_block[c][i] = start + i < fileFrames ? m_file.channels[c][start + i] : 0.0f;

    AudioBuffer buffer;
    buffer.format = inputFormat();
    buffer.frameLength = uint32_t(blockFrames);
    for (const auto &ch : m_block)
        buffer.channelData.push_back(ch.data());
    {
        std::lock_guard guard(m_mutex);
        if (m_callback)
            m_callback(buffer, AudioTime{int64_t(start), m_file.sampleRate});
    }
    m_fed = start + blockFrames;
}

} // namespace sv
