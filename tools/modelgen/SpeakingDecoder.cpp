#include "SpeakingDecoder.h"

#include "RandomStream.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sv::modelgen {

namespace {

// Per-coordinate RMS of a scripted token's embedding.
constexpr double kScriptedRms = 0.1;

// Logit of the scripted successor; every other token sits near 0 (random
// rows at about +-7 at worst), so greedy decoding picks it with a
// log-probability indistinguishable from 0 and no fallback is triggered.
constexpr double kTargetLogit = 60.0;

// A detector unit sees +kDetectorBias on its own token and -kDetectorBias on
// every other scripted token, where GELU is as good as zero.
constexpr double kDetectorBias = 10.0;

double gelu(double x)
{
    return 0.5 * x * (1.0 + std::tanh(std::sqrt(2.0 / std::numbers::pi) * (x + 0.044715 * x * x * x)));
}

double dot(const std::vector<double> &a, const std::vector<double> &b)
{
    double sum = 0.0;
    for (size_t i = 0; i < a.size(); ++i)
        sum += a[i] * b[i];
    return sum;
}

// `count` orthonormal vectors, all orthogonal to the all-ones vector (so
// layer norm's mean subtraction leaves them unchanged). Gram-Schmidt, twice
// per vector to keep rounding errors out.
std::vector<std::vector<double>> zeroMeanOrthonormal(int count, int dims, RandomStream &random)
{
    std::vector<std::vector<double>> basis;
    basis.emplace_back(dims, 1.0 / std::sqrt(double(dims)));
    while (static_cast<int>(basis.size()) < count + 1) {
        std::vector<double> v(dims);
        for (double &x : v)
            x = random.uniform(1.0f);
        for (int pass = 0; pass < 2; ++pass) {
            for (const auto &b : basis) {
                const double d = dot(v, b);
                for (int i = 0; i < dims; ++i)
                    v[i] -= d * b[i];
            }
        }
        const double norm = std::sqrt(dot(v, v));
        if (norm < 1e-6)
            continue;
        for (double &x : v)
            x /= norm;
        basis.push_back(std::move(v));
    }
    basis.erase(basis.begin());
    return basis;
}

} // namespace

std::optional<SpeakingDecoder> SpeakingDecoder::create(const ModelShape &shape, const SpeechScript &script,
                                                       uint64_t seed, std::string &error)
{
    SpeakingDecoder decoder;
    decoder.m_state = shape.textState;
    decoder.m_script = script;

    std::vector<int32_t> from;
    for (const auto &t : script.transitions) {
        from.push_back(t.from);
        decoder.m_scriptedTokens.push_back(t.from);
        for (const auto &[token, weight] : t.to)
            decoder.m_scriptedTokens.push_back(token);
    }
    std::sort(from.begin(), from.end());
    if (std::adjacent_find(from.begin(), from.end()) != from.end()) {
        error = "a token has two successors in the script";
        return std::nullopt;
    }
    auto &scripted = decoder.m_scriptedTokens;
    std::sort(scripted.begin(), scripted.end());
    scripted.erase(std::unique(scripted.begin(), scripted.end()), scripted.end());

    const int capacity = shape.textState - 1;
    if (static_cast<int>(scripted.size()) > capacity) {
        const int fixedTokens = static_cast<int>(scripted.size() - script.words.size());
        error = "the text to speak has " + std::to_string(script.words.size()) + " words; the " + shape.name +
                " shape speaks at most " + std::to_string(capacity - fixedTokens);
        return std::nullopt;
    }
    if (static_cast<int>(script.transitions.size()) > 4 * shape.textState) {
        error = "the script has more steps than the decoder has MLP units";
        return std::nullopt;
    }

    RandomStream random = RandomStream::forName(seed, "speaking decoder directions");
    decoder.m_directions = zeroMeanOrthonormal(static_cast<int>(scripted.size()), shape.textState, random);

    // Layer norm maps an embedding of RMS kScriptedRms to sqrt(state) times
    // its direction; the gain scales that so the successor's logit (its
    // embedding, norm kScriptedRms * sqrt(state), dotted with it) is
    // kTargetLogit.
    decoder.m_finalNormGain = static_cast<float>(kTargetLogit / (kScriptedRms * shape.textState));
    return decoder;
}

const std::vector<double> &SpeakingDecoder::directionOf(int32_t token) const
{
    const auto it = std::lower_bound(m_scriptedTokens.begin(), m_scriptedTokens.end(), token);
    return m_directions[static_cast<size_t>(it - m_scriptedTokens.begin())];
}

void SpeakingDecoder::applyToTokenEmbedding(std::vector<float> &embedding) const
{
    const double norm = kScriptedRms * std::sqrt(double(m_state));
    for (const int32_t token : m_scriptedTokens) {
        const auto &direction = directionOf(token);
        float *row = embedding.data() + static_cast<size_t>(token) * m_state;
        for (int i = 0; i < m_state; ++i)
            row[i] = static_cast<float>(norm * direction[i]);
    }
}

void SpeakingDecoder::applyToLookup(std::vector<float> &inWeight, std::vector<float> &inBias,
                                    std::vector<float> &outWeight) const
{
    const int hidden = 4 * m_state;
    const double embeddingNorm = kScriptedRms * std::sqrt(double(m_state));
    // Layer norm turns a scripted embedding into sqrt(state) * direction;
    // the detector's dot product with it is then 2 * kDetectorBias.
    const double detectorScale = 2.0 * kDetectorBias / std::sqrt(double(m_state));
    const double activation = gelu(kDetectorBias);

    std::fill(outWeight.begin(), outWeight.end(), 0.0f);
    for (size_t unit = 0; unit < m_script.transitions.size(); ++unit) {
        const auto &transition = m_script.transitions[unit];
        const auto &input = directionOf(transition.from);

        float *detector = inWeight.data() + unit * m_state;
        for (int i = 0; i < m_state; ++i)
            detector[i] = static_cast<float>(detectorScale * input[i]);
        inBias[unit] = static_cast<float>(-kDetectorBias);

        // The successor mix, rescaled to a scripted embedding's norm.
        std::vector<double> target(m_state, 0.0);
        for (const auto &[token, weight] : transition.to) {
            const auto &direction = directionOf(token);
            for (int i = 0; i < m_state; ++i)
                target[i] += weight * direction[i];
        }
        const double targetScale = embeddingNorm / std::sqrt(dot(target, target));

        // Adding this to the residual replaces the input's embedding by the
        // target.
        for (int i = 0; i < m_state; ++i) {
            const double delta = targetScale * target[i] - embeddingNorm * input[i];
            outWeight[static_cast<size_t>(i) * hidden + unit] = static_cast<float>(delta / activation);
        }
    }
}

} // namespace sv::modelgen
