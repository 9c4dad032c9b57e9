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
constexpr double maxStep = 0.15;        // ln: larger frame-to-frame steps are jumps, not sweeps
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
    size_t from = 0, to = 0; // frames of its two turning points
    double size = 0;         // ln of the frequency ratio it covers
};

// Monotone stretches between turning points; the last one may still be
// going on.
std::vector<Leg> legsOf(const std::vector<double> &x)
{
    std::vector<Leg> legs;
    if (x.size() < 2)
        return legs;
    size_t start = 0, extreme = 0, high = 0, low = 0;
    int direction = 0;
    for (size_t i = 1; i < x.size(); ++i) {
        if (direction == 0) {
            high = x[i] > x[high] ? i : high;
            low = x[i] < x[low] ? i : low;
            if (x[high] - x[low] >= turnHysteresis) {
                direction = high > low ? 1 : -1;
                start = high > low ? low : high;
                extreme = high > low ? high : low;
            }
            continue;
        }
        if ((direction > 0 && x[i] >= x[extreme]) || (direction < 0 && x[i] <= x[extreme])) {
            extreme = i;
        } else if (std::abs(x[i] - x[extreme]) >= turnHysteresis) {
            legs.push_back({start, extreme, std::abs(x[extreme] - x[start])});
            start = extreme;
            extreme = i;
            direction = -direction;
        }
    }
    if (direction != 0)
        legs.push_back({start, extreme, std::abs(x[extreme] - x[start])});
    return legs;
}

// The longest part of a leg without a jump (where the track passed from one
// sound to another, or caught a harmonic): what the sweep itself covers.
Leg smoothPart(const std::vector<double> &x, const Leg &leg)
{
    Leg best{leg.from, leg.from, 0};
    size_t start = leg.from;
    for (size_t i = leg.from + 1; i <= leg.to + 1; ++i) {
        if (i > leg.to || std::abs(x[i] - x[i - 1]) > maxStep) {
            if (i - 1 - start > best.to - best.from)
                best = {start, i - 1, std::abs(x[i - 1] - x[start])};
            start = i;
        }
    }
    return best;
}

// The longest run of adjacent sweeps each lasting [minSeconds, maxSeconds].
int sweepRun(const std::vector<double> &x, const std::vector<Leg> &legs, double minSeconds, double maxSeconds)
{
    int best = 0, run = 0;
    for (const Leg &leg : legs) {
        const Leg sweep = smoothPart(x, leg);
        const double seconds = double(sweep.to - sweep.from) * analysis::hopSeconds;
        if (sweep.size >= minSweep && seconds >= minSeconds && seconds <= maxSeconds)
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
    const double gate = std::clamp((share - 0.25) / 0.2, 0.0, 1.0);

    const auto legs = legsOf(x);
    const int wails = sweepRun(x, legs, 0.5, 5.0);
    const int yelps = sweepRun(x, legs, 0.08, 0.4);
    const int alternations = alternationRun(dwellsOf(x));

    // One turn of a wail, three of a yelp, or five steady tones of a hi-lo
    // make a siren; less is reported below the alert floor.
    double claim = 0;
    if (wails >= 2)
        claim = std::max(claim, wails >= 4 ? 0.9 : wails == 3 ? 0.85 : 0.8);
    else if (wails == 1)
        claim = std::max(claim, 0.4);
    if (yelps >= 6)
        claim = std::max(claim, yelps >= 10 ? 0.86 : 0.8);
    else if (yelps >= 4)
        claim = std::max(claim, 0.45);
    if (alternations >= 5)
        claim = std::max(claim, alternations >= 7 ? 0.85 : 0.78);
    else if (alternations == 4)
        claim = std::max(claim, 0.45);
    if (claim > 0)
        addClaim(claims, sound_label::siren, gate * claim + (1.0 - gate) * std::min(claim, doubtful));
}

} // namespace sv
