#pragma once

#include "ModelShape.h"
#include "SpeechScript.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sv::modelgen {

// Decoder weights that make greedy decoding follow a SpeechScript whatever
// the audio is. With every block's attention and MLP output projections
// zero, the residual stream is the input token's embedding; the first
// block's MLP then acts as a lookup table replacing it with the embedding
// of the scripted successor, and the tied output projection turns that
// into one dominant logit (about 60 above any other).
//
// Scripted tokens get mutually orthogonal, zero-mean embeddings of
// per-coordinate RMS 0.1, so layer norm leaves their directions intact and
// one MLP unit per transition recognises its token exactly. Other tokens
// keep the random rows they are given, which must be much smaller (the
// random model's 0.02 is). Because the prediction depends on the current
// token only, prompts that whisper.cpp puts before the task tokens (the
// previous window's text, a caller's prompt) change nothing.
class SpeakingDecoder {
public:
    // Empty with `error` set when the shape has too few dimensions to keep
    // the script's tokens apart (text state - 1 tokens at most).
    static std::optional<SpeakingDecoder> create(const ModelShape &shape, const SpeechScript &script, uint64_t seed,
                                                 std::string &error);

    // Overwrites the scripted tokens' rows of a vocabSize x textState token
    // embedding.
    void applyToTokenEmbedding(std::vector<float> &embedding) const;

    // Writes the lookup into the first block's MLP: one hidden unit per
    // transition in `inWeight`/`inBias` (4*state x state, 4*state; the
    // other units keep their values) and `outWeight` (state x 4*state),
    // which is zero apart from those units.
    void applyToLookup(std::vector<float> &inWeight, std::vector<float> &inBias, std::vector<float> &outWeight) const;

    // The final layer norm's gain, uniform over the state.
    float finalNormGain() const { return m_finalNormGain; }

private:
    SpeakingDecoder() = default;

    const std::vector<double> &directionOf(int32_t token) const;

    int m_state = 0;
    SpeechScript m_script;
    std::vector<int32_t> m_scriptedTokens;          // sorted
    std::vector<std::vector<double>> m_directions;  // unit vectors, by m_scriptedTokens index
    float m_finalNormGain = 1.0f;
};

} // namespace sv::modelgen
