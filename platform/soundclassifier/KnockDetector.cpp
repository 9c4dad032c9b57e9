#include "KnockDetector.h"

#include "Identifiers.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace sv {

namespace {

constexpr double lookBack = 5.0;
constexpr double riseDb = 10.0;      // above the background just before
constexpr double decayDb = 12.0;     // fallen this far below the peak ...
constexpr size_t decayFrames = 5;    // ... within 80 ms
constexpr size_t maxWideFrames = 4;  // frames within 10 dB of the peak: a knock is over in 60 ms
constexpr double lowShareDb = -6.0;  // at least a quarter of the energy below 1 kHz
constexpr float maxAttackPeriodicity = 0.7f;
constexpr float minAttackFlatness = 0.006f;
constexpr double minInterval = 0.1, maxInterval = 0.7;
constexpr double quietBefore = 1.0, quietAfter = 0.8;
constexpr double holdSeconds = 3.0;

constexpr size_t shapeBands = 16;
constexpr double minSimilarity = 0.8;

struct Transient {
    double time = 0;
    double levelDb = 0;
    std::array<double, shapeBands> shape{}; // band levels from 60 Hz to 4 kHz, mean removed
};

// The spectral outline of a frame: knocks on one door share it, the
// syllables of speech do not.
std::array<double, shapeBands> shapeOf(const SpectralFrame &f)
{
    std::array<double, shapeBands> shape{};
    double mean = 0;
    for (size_t b = 0; b < shapeBands; ++b) {
        const double low = 60.0 * std::pow(4000.0 / 60.0, double(b) / shapeBands);
        const double high = 60.0 * std::pow(4000.0 / 60.0, double(b + 1) / shapeBands);
        shape[b] = f.bandLevelDb(low, high);
        mean += shape[b];
    }
    mean /= double(shapeBands);
    for (double &v : shape)
        v -= mean;
    return shape;
}

double similarity(const std::array<double, shapeBands> &a, const std::array<double, shapeBands> &b)
{
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < shapeBands; ++i) {
        ab += a[i] * b[i];
        aa += a[i] * a[i];
        bb += b[i] * b[i];
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0.0;
}

std::vector<Transient> transients(const FrameHistory &history, size_t first)
{
    std::vector<Transient> found;
    const size_t backgroundFrames = 12;
    for (size_t i = std::max(first, backgroundFrames); i + decayFrames < history.size(); ++i) {
        const SpectralFrame &f = history[i];
        // The loudest of two neighbouring frames is the transient's peak.
        if (f.levelDb < history[i - 1].levelDb || f.levelDb < history[i + 1].levelDb)
            continue;
        std::vector<float> before;
        for (size_t j = i - backgroundFrames; j + 2 < i; ++j)
            before.push_back(history[j].levelDb);
        // A low percentile: the tail of the knock before does not count.
        std::nth_element(before.begin(), before.begin() + ptrdiff_t(before.size() / 3), before.end());
        const double background = before[before.size() / 3];
        if (f.levelDb - background < riseDb || f.lowLevelDb - f.levelDb < lowShareDb)
            continue;
        bool decays = false;
        for (size_t k = 1; k <= decayFrames && !decays; ++k)
            decays = history[i + k].levelDb <= f.levelDb - decayDb;
        // A syllable swells and holds for a tenth of a second or more; a
        // knock is there in one frame and gone two frames later.
        size_t wide = 0;
        for (size_t k = i - 3; k <= i + decayFrames; ++k)
            wide += history[k].levelDb >= f.levelDb - 10.0;
        const bool abrupt = history[i - 2].levelDb <= f.levelDb - riseDb;
        // The knock's first frame holds its click, which has no pitch and a
        // spread spectrum; a voiced syllable is periodic from its first
        // frame on.
        bool click = false;
        for (size_t k = i - 2; k <= i && !click; ++k) {
            const SpectralFrame &attack = history[k];
            click = attack.levelDb >= std::max(background + riseDb / 2, double(f.levelDb) - 25.0)
                    && attack.periodicity < maxAttackPeriodicity
                    && attack.flatness > minAttackFlatness;
        }
        if (decays && abrupt && click && wide <= maxWideFrames)
            found.push_back({f.time, f.levelDb, shapeOf(f)});
    }
    return found;
}

} // namespace

void KnockDetector::detect(const DetectionContext &context, std::vector<SoundClassification> &claims)
{
    const FrameHistory &history = context.history;
    const std::vector<Transient> all = transients(history, history.indexAt(context.now - lookBack));
    if (all.empty())
        return;
    // The newest run of transients at knocking intervals.
    size_t first = all.size() - 1;
    while (first > 0 && all[first].time - all[first - 1].time <= maxInterval)
        --first;
    const std::vector<Transient> run(all.begin() + ptrdiff_t(first), all.end());
    const double last = run.back().time;
    if (last < context.now - holdSeconds || context.now < last + quietAfter)
        return;
    if (first > 0 && run.front().time - all[first - 1].time < quietBefore)
        return;
    if (run.front().time < context.now - lookBack + quietBefore)
        return; // what came before the run is out of sight

    double shortest = 1e9, longest = 0, quietest = 1e9, loudest = -1e9, alike = 1.0;
    for (size_t i = 0; i < run.size(); ++i) {
        quietest = std::min(quietest, run[i].levelDb);
        loudest = std::max(loudest, run[i].levelDb);
        if (i > 0) {
            const double d = run[i].time - run[i - 1].time;
            shortest = std::min(shortest, d);
            longest = std::max(longest, d);
            alike = std::min(alike, similarity(run[i].shape, run[i - 1].shape));
        }
    }
    // Knocks come evenly, equally loud, and sound alike.
    if (run.size() < 2 || run.size() > 6 || shortest < minInterval || longest > 1.5 * shortest
        || loudest - quietest > 10.0 || alike < minSimilarity)
        return;
    const double claim = run.size() == 2 ? 0.45 : std::min(0.72, 0.6 + 0.04 * double(run.size() - 3));
    addClaim(claims, sound_label::knock, claim);
}

} // namespace sv
