#include "SirenDetector.h"

#include "Identifiers.h"
#include "PitchTrack.h"

#include <algorithm>
#include <cmath>

namespace sv {

namespace {

constexpr double lookBack = 8.0;        // seconds of track examined
constexpr double maxTrackAge = 0.4;     // the tone must still be sounding
constexpr double turnHysteresis = 0.058; // ln 1.06: smaller wiggles are not turns
constexpr double minSweep = 0.22;       // ln 1.25: a sweep covers at least a quarter
constexpr double maxStep = 0.07;        // ln: larger frame-to-frame steps are jumps, not sweeps
constexpr double doubtful = 0.3;

std::vector<double> median5(const std::vector<double> &x)
{
    std::vector<double> out(x.size());
    for (size_t i = 0; i < x.size(); ++i) {
        double window[5];
        size_t n = 0;
        for (size_t j = i >= 2 ? i - 2 : 0; j <= i + 2 && j < x.size(); ++j)
            window[n++] = x[j];
        std::nth_element(window, window + n / 2, window + n);
        out[i] = window[n / 2];
    }
    return out;
}

struct Leg {
    size_t from = 0, to = 0;
    double excursion() const { return 0; }
};

// Monotone stretches between turning points, each with its size in ln units;
// the last one is still going on.
std::vector<std::pair<Leg, double>> legsOf(const std::vector<double> &x)
{
    std::vector<std::pair<Leg, double>> legs;
    if (x.empty())
        return legs;
    size_t extreme = 0; // the latest extreme: where the current leg turns
    size_t start = 0;   // where the current leg began
    int direction = 0;
    for (size_t i = 1; i < x.size(); ++i) {
        if (direction == 0) {
            if (x[i] > x[extreme] && x[i] - x[start] >= turnHysteresis)
                direction = 1;
            else if (x[i] < x[extreme] && x[start] - x[i] >= turnHysteresis)
                direction = -1;
            if (direction != 0)
                extreme = i;
            else if ((x[i] - x[start]) * 0 == 0 && std::abs(x[i] - x[start]) < turnHysteresis)
                extreme = x[i] > x[extreme] ? i : extreme;
            if (direction == 0 && std::abs(x[i] - x[start]) < turnHysteresis && i - start > 8)
                start = i; // still level: the leg has not begun
            continue;
        }
        if ((direction > 0 && x[i] >= x[extreme]) || (direction < 0 && x[i] <= x[extreme])) {
            extreme = i;
        } else if (std::abs(x[i] - x[extreme]) >= turnHysteresis) {
            legs.push_back({{start, extreme}, std::abs(x[extreme] - x[start])});
            start = extreme;
            extreme = i;
            direction = -direction;
        }
    }
    if (direction != 0)
        legs.push_back({{start, extreme}, std::abs(x[extreme] - x[start])});
    return legs;
}

bool smooth(const std::vector<double> &x, const Leg &leg)
{
    for (size_t i = leg.from + 1; i <= leg.to; ++i)
        if (std::abs(x[i] - x[i - 1]) > maxStep)
            return false;
    return true;
}

// The longest run of adjacent sweeps each lasting [minSeconds, maxSeconds].
int sweepRun(const std::vector<double> &x, const std::vector<std::pair<Leg, double>> &legs, double minSeconds,
             double maxSeconds)
{
    int best = 0, run = 0;
    for (const auto &[leg, size] : legs) {
        const double seconds = double(leg.to - leg.from) * analysis::hopSeconds;
        if (size >= minSweep && seconds >= minSeconds && seconds <= maxSeconds && smooth(x, leg))
            best = std::max(best, ++run);
        else
            run = 0;
    }
    return best;
}

// Steady stretches of the track, each its mean pitch and length in frames.
struct Dwell {
    size_t from = 0, to = 0;
    double pitch = 0;
    double seconds() const { return double(to - from + 1) * analysis::hopSeconds; }
};

std::vector<Dwell> dwellsOf(const std::vector<double> &x)
{
    std::vector<Dwell> dwells;
    size_t i = 0;
    while (i < x.size()) {
        size_t j = i + 1;
        double low = x[i], high = x[i];
        while (j < x.size()) {
            const double l = std::min(low, x[j]), h = std::max(high, x[j]);
            if (h - l > 0.04)
                break;
            low = l;
            high = h;
            ++j;
        }
        Dwell d{i, j - 1, 0};
        if (d.seconds() >= 0.2) {
            double sum = 0;
            for (size_t k = i; k < j; ++k)
                sum += x[k];
            d.pitch = sum / double(j - i);
            dwells.push_back(d);
        }
        i = j;
    }
    return dwells;
}

// The longest run of steady pitches that alternate between two values a
// musical interval apart, with quick changes and similar lengths.
int alternationRun(const std::vector<Dwell> &dwells)
{
    int best = 0, run = 0;
    for (size_t k = 0; k < dwells.size(); ++k) {
        const Dwell &d = dwells[k];
        bool continues = run > 0 && k > 0;
        if (continues) {
            const Dwell &p = dwells[k - 1];
            const double step = std::abs(d.pitch - p.pitch);
            const double changeSeconds = double(d.from - p.to) * analysis::hopSeconds;
            const double lengthRatio = std::max(d.seconds(), p.seconds()) / std::min(d.seconds(), p.seconds());
            continues = step >= std::log(1.1) && step <= std::log(1.8) && changeSeconds <= 0.1 && lengthRatio <= 1.8
                        && (run < 2 || std::abs(d.pitch - dwells[k - 2].pitch) <= 0.03);
        }
        const bool fitsLength = d.seconds() >= 0.2 && d.seconds() <= 1.6;
        run = fitsLength ? (continues ? run + 1 : 1) : 0;
        best = std::max(best, run);
    }
    return best;
}

} // namespace

void SirenDetector::detect(const DetectionContext &context, std::vector<SoundClassification> &claims)
{
    const PitchTrack track = newestPitchTrack(context.history, context.now - lookBack, maxTrackAge, 250.0, 4000.0);
    if (track.duration() < 1.0)
        return;
    const std::vector<double> x = median5(track.logHz);
    double share = 0;
    for (double s : track.share)
        share += s;
    share /= double(track.share.size());
    // A siren is loud and tonal: its tone carries most of the sound.
    const double gate = std::clamp((share - 0.3) / 0.3, 0.0, 1.0);

    const auto legs = legsOf(x);
    const int wails = sweepRun(x, legs, 0.5, 5.0);
    const int yelps = sweepRun(x, legs, 0.08, 0.4);
    const int alternations = alternationRun(dwellsOf(x));

    double claim = 0;
    if (wails >= 2)
        claim = std::max(claim, wails >= 4 ? 0.88 : wails == 3 ? 0.82 : 0.72);
    else if (wails == 1)
        claim = std::max(claim, 0.4);
    if (yelps >= 6)
        claim = std::max(claim, yelps >= 10 ? 0.82 : 0.72);
    else if (yelps >= 4)
        claim = std::max(claim, 0.45);
    if (alternations >= 5)
        claim = std::max(claim, alternations >= 7 ? 0.8 : 0.7);
    else if (alternations == 4)
        claim = std::max(claim, 0.45);
    if (claim > 0)
        addClaim(claims, sound_label::siren, gate * claim + (1.0 - gate) * std::min(claim, doubtful));
}

} // namespace sv
