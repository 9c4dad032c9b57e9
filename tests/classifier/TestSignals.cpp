#include "TestSignals.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace sv::test {

namespace {

void fade(Signal &s, double rate, double seconds = 0.005)
{
    const size_t n = std::min(s.size() / 2, size_t(seconds * rate));
    for (size_t i = 0; i < n; ++i) {
        const auto g = float(0.5 - 0.5 * std::cos(std::numbers::pi * double(i) / double(n)));
        s[i] *= g;
        s[s.size() - 1 - i] *= g;
    }
}

double activePower(const Signal &s)
{
    double sum = 0;
    size_t n = 0;
    for (float v : s)
        if (std::abs(v) > 1e-4f) {
            sum += double(v) * v;
            ++n;
        }
    return n ? sum / double(n) : 0.0;
}

} // namespace

Signal SignalBuilder::tone(double hz, double seconds, double amplitude, bool square) const
{
    Signal out(size_t(seconds * m_rate));
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = double(i) / m_rate;
        double v = std::sin(2.0 * std::numbers::pi * hz * t);
        for (int k = 3; square && k * hz < 7000.0; k += 2)
            v += std::sin(2.0 * std::numbers::pi * k * hz * t) / k;
        out[i] = float(amplitude * v);
    }
    fade(out, m_rate);
    return out;
}

Signal SignalBuilder::silence(double seconds) const
{
    return Signal(size_t(seconds * m_rate), 0.0f);
}

Signal SignalBuilder::cadence(double hz, const std::vector<std::pair<double, double>> &onOff, bool square) const
{
    Signal out;
    for (const auto &[on, off] : onOff) {
        const Signal t = tone(hz, on, 0.5, square);
        out.insert(out.end(), t.begin(), t.end());
        out.resize(out.size() + size_t(off * m_rate), 0.0f);
    }
    return out;
}

Signal SignalBuilder::trill(double hz1, double hz2, double switchesPerSecond, double seconds) const
{
    Signal out(size_t(seconds * m_rate));
    double phase = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = double(i) / m_rate;
        const bool first = int(std::floor(t * switchesPerSecond)) % 2 == 0;
        phase += 2.0 * std::numbers::pi * (first ? hz1 : hz2) / m_rate;
        out[i] = float(0.4 * std::sin(phase));
    }
    fade(out, m_rate, 0.01);
    return out;
}

Signal SignalBuilder::chime(double hz, double seconds, double decay) const
{
    Signal out(size_t(seconds * m_rate));
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = double(i) / m_rate;
        const double v = std::exp(-t / decay) * std::sin(2.0 * std::numbers::pi * hz * t)
                         + 0.25 * std::exp(-t / (0.5 * decay)) * std::sin(2.0 * std::numbers::pi * 2.76 * hz * t);
        out[i] = float(0.5 * v * std::min(1.0, t / 0.003));
    }
    return out;
}

Signal SignalBuilder::knock() const
{
    Signal out(size_t(0.15 * m_rate));
    std::mt19937 random(3);
    std::normal_distribution<double> gauss;
    const double modes[3][3] = {{180, 1.0, 0.02}, {310, 0.7, 0.015}, {420, 0.5, 0.01}};
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = double(i) / m_rate;
        double v = 0.3 * gauss(random) * std::exp(-t / 0.002);
        for (const auto &m : modes)
            v += m[1] * std::exp(-t / m[2]) * std::sin(2.0 * std::numbers::pi * m[0] * t);
        out[i] = float(0.4 * v);
    }
    return out;
}

Signal SignalBuilder::speechLike(double seconds) const
{
    Signal out(size_t(seconds * m_rate));
    double phase = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = double(i) / m_rate;
        // Pitch falls and rises over each phrase; syllables at 4 a second,
        // and a pause every 1.6 s.
        const double pitch = 150.0 + 50.0 * std::sin(2.0 * std::numbers::pi * 0.7 * t) + 20.0 * std::sin(2.0 * std::numbers::pi * 3.1 * t);
        phase += 2.0 * std::numbers::pi * pitch / m_rate;
        const double syllable = std::pow(std::max(0.0, std::sin(2.0 * std::numbers::pi * 4.0 * t)), 2.0);
        const double phrase = std::fmod(t, 1.6) < 1.3 ? 1.0 : 0.0;
        double v = 0;
        for (int k = 1; k <= 20; ++k) {
            // A formant-like bump near 500 Hz and another near 1500 Hz.
            const double f = k * pitch;
            const double gain = std::exp(-std::pow((f - 500.0) / 300.0, 2.0)) + 0.5 * std::exp(-std::pow((f - 1500.0) / 400.0, 2.0));
            v += gain * std::sin(k * phase);
        }
        out[i] = float(0.2 * v * syllable * phrase);
    }
    return out;
}

Signal SignalBuilder::chords(double seconds) const
{
    const double roots[] = {220.0, 174.6, 196.0, 261.6};
    const double steps[] = {1.0, 1.2599, 1.4983};
    Signal out(size_t(seconds * m_rate));
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = double(i) / m_rate;
        const double root = roots[size_t(t / 0.5) % 4];
        double v = 0;
        for (double step : steps)
            for (int k = 1; k <= 5; ++k)
                v += std::sin(2.0 * std::numbers::pi * root * step * k * t) / k;
        out[i] = float(0.12 * v);
    }
    return out;
}

Signal SignalBuilder::whiteNoise(double seconds, double amplitude, uint32_t seed) const
{
    Signal out(size_t(seconds * m_rate));
    std::mt19937 random(seed);
    std::normal_distribution<double> gauss(0.0, amplitude);
    for (float &v : out)
        v = float(std::clamp(gauss(random), -1.0, 1.0));
    return out;
}

Signal concat(std::initializer_list<Signal> parts)
{
    Signal out;
    for (const Signal &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

void mixInto(Signal &a, const Signal &b, size_t at)
{
    if (a.size() < at + b.size())
        a.resize(at + b.size(), 0.0f);
    for (size_t i = 0; i < b.size(); ++i)
        a[at + i] += b[i];
}

Signal withNoise(const Signal &signal, double snrDb, uint32_t seed)
{
    const double noisePower = activePower(signal) / std::pow(10.0, snrDb / 10.0);
    std::mt19937 random(seed);
    std::normal_distribution<double> gauss(0.0, std::sqrt(noisePower));
    Signal out = signal;
    for (float &v : out)
        v = float(std::clamp(double(v) + gauss(random), -1.0, 1.0));
    return out;
}

} // namespace sv::test
