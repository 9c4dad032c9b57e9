#include "ModelWeights.h"

#include "RandomStream.h"
#include "SpeakingDecoder.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

namespace sv::modelgen {

namespace {

constexpr float kBiasStd = 0.01f;
constexpr float kTokenEmbeddingStd = 0.02f;
constexpr float kTextPositionStd = 0.01f;

size_t elementCount(const std::vector<int32_t> &dims)
{
    return std::accumulate(dims.begin(), dims.end(), size_t{1},
                           [](size_t n, int32_t d) { return n * static_cast<size_t>(d); });
}

std::string layerName(const char *prefix, int layer, const char *suffix)
{
    return std::string(prefix) + std::to_string(layer) + suffix;
}

// One model's tensors on their way to the file.
class TensorEmitter {
public:
    TensorEmitter(ModelFileWriter &writer, const WeightOptions &options) : m_writer(writer), m_options(options) {}

    std::vector<float> random(const std::string &name, const std::vector<int32_t> &dims, float stddev) const
    {
        RandomStream stream = RandomStream::forName(m_options.seed, name);
        std::vector<float> values(elementCount(dims));
        for (float &v : values)
            v = stream.uniform(stddev);
        return values;
    }

    // A matrix or convolution kernel, stored in the model's weight type.
    void matrix(const std::string &name, const std::vector<int32_t> &dims, const std::vector<float> &values)
    {
        m_writer.writeTensor(name, dims, m_options.matrixType, values);
    }

    void randomMatrix(const std::string &name, const std::vector<int32_t> &dims, int fanIn)
    {
        matrix(name, dims, random(name, dims, 1.0f / std::sqrt(static_cast<float>(fanIn))));
    }

    void zeroMatrix(const std::string &name, const std::vector<int32_t> &dims)
    {
        matrix(name, dims, std::vector<float>(elementCount(dims), 0.0f));
    }

    // Biases, norms and positional embeddings: always f32.
    void vector(const std::string &name, const std::vector<int32_t> &dims, const std::vector<float> &values)
    {
        m_writer.writeTensor(name, dims, WeightType::F32, values);
    }

    void randomBias(const std::string &name, const std::vector<int32_t> &dims)
    {
        vector(name, dims, random(name, dims, kBiasStd));
    }

    void constant(const std::string &name, const std::vector<int32_t> &dims, float value)
    {
        vector(name, dims, std::vector<float>(elementCount(dims), value));
    }

    // Identity layer norm: gain 1 (or `gain`), bias 0.
    void layerNorm(const std::string &weightName, const std::string &biasName, int32_t state, float gain = 1.0f)
    {
        constant(weightName, {state}, gain);
        constant(biasName, {state}, 0.0f);
    }

private:
    ModelFileWriter &m_writer;
    const WeightOptions &m_options;
};

// Whisper's encoder positions: sines then cosines over geometric timescales
// from 1 to 10000.
std::vector<float> sinusoids(int32_t length, int32_t channels)
{
    std::vector<float> values(static_cast<size_t>(length) * channels);
    const int half = channels / 2;
    const double increment = std::log(10000.0) / std::max(1, half - 1);
    for (int t = 0; t < length; ++t) {
        for (int i = 0; i < half; ++i) {
            const double angle = t * std::exp(-increment * i);
            values[static_cast<size_t>(t) * channels + i] = static_cast<float>(std::sin(angle));
            values[static_cast<size_t>(t) * channels + half + i] = static_cast<float>(std::cos(angle));
        }
    }
    return values;
}

// An output projection: random, or zero so the block adds nothing.
void writeProjection(TensorEmitter &emit, const std::string &weight, const std::string &bias,
                     const std::vector<int32_t> &dims, bool silent)
{
    if (silent) {
        emit.zeroMatrix(weight, dims);
        emit.constant(bias, {dims[1]}, 0.0f);
    } else {
        emit.randomMatrix(weight, dims, dims[0]);
        emit.randomBias(bias, {dims[1]});
    }
}

// One attention of a block ("attn" or "cross_attn" under `block`): its layer
// norm, query/key/value and output projection, silent when it must add
// nothing to the residual stream.
void writeAttention(TensorEmitter &emit, const std::string &block, const std::string &kind, int32_t n, bool silent)
{
    const std::string p = block + "." + kind;
    emit.layerNorm(p + "_ln.weight", p + "_ln.bias", n);
    emit.randomMatrix(p + ".query.weight", {n, n}, n);
    emit.randomBias(p + ".query.bias", {n});
    emit.randomMatrix(p + ".key.weight", {n, n}, n);
    emit.randomMatrix(p + ".value.weight", {n, n}, n);
    emit.randomBias(p + ".value.bias", {n});
    writeProjection(emit, p + ".out.weight", p + ".out.bias", {n, n}, silent);
}

void writeEncoder(TensorEmitter &emit, const ModelShape &shape)
{
    const int32_t n = shape.audioState;
    emit.vector("encoder.positional_embedding", {n, shape.audioContext}, sinusoids(shape.audioContext, n));
    emit.randomMatrix("encoder.conv1.weight", {3, shape.mels, n}, 3 * shape.mels);
    emit.randomBias("encoder.conv1.bias", {1, n});
    emit.randomMatrix("encoder.conv2.weight", {3, n, n}, 3 * n);
    emit.randomBias("encoder.conv2.bias", {1, n});
    emit.layerNorm("encoder.ln_post.weight", "encoder.ln_post.bias", n);

    for (int l = 0; l < shape.audioLayers; ++l) {
        auto name = [l](const char *suffix) { return layerName("encoder.blocks.", l, suffix); };
        emit.layerNorm(name(".mlp_ln.weight"), name(".mlp_ln.bias"), n);
        emit.randomMatrix(name(".mlp.0.weight"), {n, 4 * n}, n);
        emit.randomBias(name(".mlp.0.bias"), {4 * n});
        emit.randomMatrix(name(".mlp.2.weight"), {4 * n, n}, 4 * n);
        emit.randomBias(name(".mlp.2.bias"), {n});
        writeAttention(emit, layerName("encoder.blocks.", l, ""), "attn", n, false);
    }
}

void writeDecoderMlp(TensorEmitter &emit, int layer, int32_t n, const SpeakingDecoder *speaking)
{
    auto name = [layer](const char *suffix) { return layerName("decoder.blocks.", layer, suffix); };
    emit.layerNorm(name(".mlp_ln.weight"), name(".mlp_ln.bias"), n);

    const std::string inWeight = name(".mlp.0.weight"), inBias = name(".mlp.0.bias");
    const std::string outWeight = name(".mlp.2.weight"), outBias = name(".mlp.2.bias");
    if (speaking && layer == 0) {
        auto w0 = emit.random(inWeight, {n, 4 * n}, 1.0f / std::sqrt(static_cast<float>(n)));
        auto b0 = emit.random(inBias, {4 * n}, kBiasStd);
        std::vector<float> w2(static_cast<size_t>(4 * n) * n);
        speaking->applyToLookup(w0, b0, w2);
        emit.matrix(inWeight, {n, 4 * n}, w0);
        emit.vector(inBias, {4 * n}, b0);
        emit.matrix(outWeight, {4 * n, n}, w2);
        emit.constant(outBias, {n}, 0.0f);
        return;
    }
    emit.randomMatrix(inWeight, {n, 4 * n}, n);
    emit.randomBias(inBias, {4 * n});
    writeProjection(emit, outWeight, outBias, {4 * n, n}, speaking != nullptr);
}

void writeDecoder(TensorEmitter &emit, const ModelShape &shape, const SpeakingDecoder *speaking)
{
    const int32_t n = shape.textState;
    const bool silent = speaking != nullptr;

    if (speaking)
        emit.constant("decoder.positional_embedding", {n, shape.textContext}, 0.0f);
    else
        emit.vector("decoder.positional_embedding", {n, shape.textContext},
                    emit.random("decoder.positional_embedding", {n, shape.textContext}, kTextPositionStd));

    auto embedding = emit.random("decoder.token_embedding.weight", {n, shape.vocabSize}, kTokenEmbeddingStd);
    if (speaking)
        speaking->applyToTokenEmbedding(embedding);
    emit.matrix("decoder.token_embedding.weight", {n, shape.vocabSize}, embedding);
    emit.layerNorm("decoder.ln.weight", "decoder.ln.bias", n, speaking ? speaking->finalNormGain() : 1.0f);

    for (int l = 0; l < shape.textLayers; ++l) {
        writeDecoderMlp(emit, l, n, speaking);

        const std::string block = layerName("decoder.blocks.", l, "");
        writeAttention(emit, block, "attn", n, silent);
        writeAttention(emit, block, "cross_attn", n, silent);
    }
}

} // namespace

void writeModelWeights(ModelFileWriter &writer, const ModelShape &shape, const WeightOptions &options)
{
    TensorEmitter emit(writer, options);
    writeEncoder(emit, shape);
    writeDecoder(emit, shape, options.speaking);
}

} // namespace sv::modelgen
