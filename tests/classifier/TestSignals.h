#pragma once

// Sounds built sample by sample for the classifier's tests: the alarm
// patterns, their near misses, and everyday backgrounds. All at one sample
// rate, mono, in [-1, 1]; noise is seeded so every run hears the same.

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

namespace sv::test {

using Signal = std::vector<float>;

class SignalBuilder {
public:
    explicit SignalBuilder(double rate) : m_rate(rate) {}
    double rate() const { return m_rate; }

    // A tone of `seconds` at `hz` (odd harmonics added when `square`), with
    // 5 ms fades so that its edges do not click.
    Signal tone(double hz, double seconds, double amplitude = 0.5, bool square = false) const;
    Signal silence(double seconds) const;
    // Tones at one pitch: each pair is (seconds on, seconds off), in order.
    Signal cadence(double hz, const std::vector<std::pair<double, double>> &onOff, bool square = false) const;
    // A tone whose pitch follows `hzAt(t)`.
    template <typename F>
    Signal glide(F hzAt, double seconds, double amplitude = 0.5) const;
    // Two tones taking turns `switchesPerSecond` times a second.
    Signal trill(double hz1, double hz2, double switchesPerSecond, double seconds) const;
    // A struck bar: strong fundamental, weaker inharmonic partial, decaying.
    Signal chime(double hz, double seconds, double decay) const;
    // Knuckles on a door: low resonances and a click, gone within 0.1 s.
    Signal knock() const;
    // A vowel-like harmonic sound whose pitch wanders between 110 and 220 Hz
    // and whose loudness comes and goes with syllables and pauses.
    Signal speechLike(double seconds) const;
    // Three-note chords of harmonic notes, changing every half second.
    Signal chords(double seconds) const;
    Signal whiteNoise(double seconds, double amplitude, uint32_t seed = 1) const;

private:
    double m_rate;
};

Signal concat(std::initializer_list<Signal> parts);
// Adds `b` into `a` from sample `at` on, growing `a` as needed.
void mixInto(Signal &a, const Signal &b, size_t at = 0);
// `signal` with white noise added at `snrDb` below the signal's power while
// it sounds.
Signal withNoise(const Signal &signal, double snrDb, uint32_t seed = 7);

template <typename F>
Signal SignalBuilder::glide(F hzAt, double seconds, double amplitude) const
{
    Signal out(size_t(seconds * m_rate));
    double phase = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        phase += 2.0 * 3.141592653589793 * hzAt(double(i) / m_rate) / m_rate;
        out[i] = float(amplitude * std::sin(phase));
    }
    return out;
}

} // namespace sv::test
