#include "FrameAnalyzer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sv {

namespace {

using namespace analysis;

constexpr size_t paddedSize = 2 * frameSize;
constexpr size_t firstPeakBin = 6;   // 190 Hz: below it the frame cannot tell tones apart
constexpr size_t lastPeakBin = 245;  // 7.6 kHz, short of the resampler's roll-off
constexpr size_t floorHalfWidth = 16; // bins each side that make a peak's neighbourhood
constexpr size_t lobeHalfWidth = 2;   // a Hann main lobe spans five bins
constexpr float minSalienceDb = 8.0f;
constexpr size_t minPitchLag = 40;  // 400 Hz
constexpr size_t maxPitchLag = 200; // 80 Hz; beyond it the window's overlap is too small to trust

float toDb(double power)
{
    return float(10.0 * std::log10(power + 1e-12));
}

} // namespace

const TonalPeak *SpectralFrame::peakNear(double frequency, double tolerance, double minSalience) const
{
    const TonalPeak *best = nullptr;
    for (size_t i = 0; i < peakCount; ++i) {
        const TonalPeak &p = peaks[i];
        if (std::abs(p.frequency - frequency) <= tolerance && p.salienceDb >= minSalience
            && (!best || p.levelDb > best->levelDb))
            best = &p;
    }
    return best;
}

double SpectralFrame::bandLevelDb(double low, double high) const
{
    const auto first = size_t(std::clamp(std::floor(low / binHz), 0.0, double(binCount - 1)));
    const auto last = size_t(std::clamp(std::ceil(high / binHz), double(first), double(binCount - 1)));
    double sum = 0;
    for (size_t k = first; k <= last; ++k)
        sum += power[k];
    return toDb(sum);
}

FrameAnalyzer::FrameAnalyzer()
    : m_fft(paddedSize)
    , m_window(frameSize)
    , m_windowCorrelation(frameSize)
    , m_buffer(paddedSize)
    , m_scratch(binCount)
{
    double sumSquares = 0;
    for (size_t n = 0; n < frameSize; ++n) {
        m_window[n] = float(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * double(n) / double(frameSize)));
        sumSquares += double(m_window[n]) * m_window[n];
    }
    for (size_t lag = 0; lag < frameSize; ++lag) {
        double sum = 0;
        for (size_t n = 0; n + lag < frameSize; ++n)
            sum += double(m_window[n]) * m_window[n + lag];
        m_windowCorrelation[lag] = float(sum / sumSquares);
    }
    // One-sided bins, doubled, so that their sum is the signal's mean square.
    m_powerScale = float(2.0 / (double(frameSize) * sumSquares));
}

void FrameAnalyzer::analyze(const float *samples, double centreTime, SpectralFrame &out)
{
    for (size_t n = 0; n < frameSize; ++n)
        m_buffer[n] = {samples[n] * m_window[n], 0.0f};
    std::fill(m_buffer.begin() + frameSize, m_buffer.end(), std::complex<float>{});
    m_fft.transform(m_buffer);

    out.time = centreTime;
    double total = 0;
    double low = 0;
    for (size_t k = 0; k < binCount; ++k) {
        // Even bins of the padded transform are the bins of the frame itself.
        float p = std::norm(m_buffer[2 * k]) * m_powerScale;
        if (k == 0 || k == binCount - 1)
            p *= 0.5f;
        out.power[k] = p;
        total += p;
        if (k >= 2 && k <= 32)
            low += p;
    }
    out.levelDb = toDb(total);
    out.lowLevelDb = toDb(low);

    double logSum = 0;
    double linSum = 0;
    for (size_t k = firstPeakBin; k <= 240; ++k) {
        logSum += std::log(double(out.power[k]) + 1e-14);
        linSum += out.power[k];
    }
    const double count = double(240 - firstPeakBin + 1);
    out.flatness = linSum > 0 ? float(std::exp(logSum / count) / (linSum / count + 1e-14)) : 0.0f;

    findPeaks(out);
    measurePeriodicity(out);
}

void FrameAnalyzer::findPeaks(SpectralFrame &frame)
{
    const auto &p = frame.power;
    // Only bins well above the frame's median can be tonal; that skips the
    // many small maxima of a noise spectrum.
    std::copy(p.begin(), p.end(), m_scratch.begin());
    std::nth_element(m_scratch.begin(), m_scratch.begin() + binCount / 2, m_scratch.end());
    const float candidateFloor = m_scratch[binCount / 2] * 4.0f;

    frame.peakCount = 0;
    float neighbourhood[2 * floorHalfWidth];
    for (size_t k = firstPeakBin; k <= lastPeakBin; ++k) {
        if (!(p[k] > p[k - 1] && p[k] >= p[k + 1]) || p[k] < candidateFloor)
            continue;
        size_t n = 0;
        const size_t from = k > floorHalfWidth ? k - floorHalfWidth : 0;
        const size_t to = std::min(k + floorHalfWidth, binCount - 1);
        for (size_t j = from; j <= to; ++j)
            if (j + lobeHalfWidth < k || j > k + lobeHalfWidth)
                neighbourhood[n++] = p[j];
        std::nth_element(neighbourhood, neighbourhood + n / 2, neighbourhood + n);
        const double floorPower = std::max(double(neighbourhood[n / 2]), 1e-14);
        // The peak's own main lobe: its bins fall away from the maximum; a
        // rise means the slope of a neighbouring, louder peak.
        double lobe = p[k];
        for (size_t d = 1; d <= lobeHalfWidth && p[k - d] <= p[k - d + 1]; ++d)
            lobe += p[k - d];
        for (size_t d = 1; d <= lobeHalfWidth && p[k + d] <= p[k + d - 1]; ++d)
            lobe += p[k + d];
        const float salience = toDb(lobe / (floorPower * double(2 * lobeHalfWidth + 1)));
        if (salience < minSalienceDb)
            continue;

        // Parabola through the log powers of the peak and its neighbours.
        const double a = std::log(double(p[k - 1]) + 1e-14);
        const double b = std::log(double(p[k]) + 1e-14);
        const double c = std::log(double(p[k + 1]) + 1e-14);
        const double denominator = a - 2.0 * b + c;
        const double offset = denominator < 0 ? std::clamp(0.5 * (a - c) / denominator, -0.5, 0.5) : 0.0;
        const TonalPeak peak{float((double(k) + offset) * binHz), toDb(lobe), salience};

        // Keep the loudest ones, in falling order of level.
        size_t at = frame.peakCount;
        while (at > 0 && frame.peaks[at - 1].levelDb < peak.levelDb)
            --at;
        if (at >= maxPeaks)
            continue;
        const size_t end = std::min(frame.peakCount, maxPeaks - 1);
        for (size_t j = end; j > at; --j)
            frame.peaks[j] = frame.peaks[j - 1];
        frame.peaks[at] = peak;
        frame.peakCount = std::min(frame.peakCount + 1, maxPeaks);
    }
}

void FrameAnalyzer::measurePeriodicity(SpectralFrame &frame)
{
    for (auto &x : m_buffer)
        x = {std::norm(x), 0.0f};
    m_fft.transform(m_buffer, true);
    const float zeroLag = m_buffer[0].real();
    frame.periodicity = 0;
    frame.pitchHz = 0;
    if (zeroLag <= 1e-10f)
        return;

    std::array<float, maxPitchLag + 2> normalised{};
    for (size_t lag = minPitchLag / 2; lag <= maxPitchLag + 1; ++lag)
        normalised[lag] = std::min(1.0f, m_buffer[lag].real() / zeroLag / m_windowCorrelation[lag]);
    float best = 0;
    for (size_t lag = minPitchLag; lag <= maxPitchLag; ++lag)
        best = std::max(best, normalised[lag]);
    frame.periodicity = best;
    // The shortest lag that is nearly as good is the period; a shorter one
    // still (a pitch above 400 Hz) means a tone or a note, not a voice.
    for (size_t lag = minPitchLag / 2; lag <= maxPitchLag; ++lag) {
        if (normalised[lag] >= 0.85f * best && normalised[lag] >= normalised[lag - 1]
            && normalised[lag] >= normalised[lag + 1]) {
            if (lag >= minPitchLag)
                frame.pitchHz = float(sampleRate / double(lag));
            break;
        }
    }
}

} // namespace sv
