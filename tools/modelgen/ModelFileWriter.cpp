#include "ModelFileWriter.h"

#include "HalfFloat.h"

#include <algorithm>
#include <bit>

namespace sv::modelgen {

static_assert(std::endian::native == std::endian::little, "the model file is written in host byte order");

namespace {

constexpr uint32_t kGgmlMagic = 0x67676d6c;

// Chunked so that a large tensor needs no second full-size copy.
constexpr size_t kHalfChunk = 1 << 16;

} // namespace

bool ModelFileWriter::open(const std::string &path, std::string &error)
{
    m_path = path;
    m_out.open(path, std::ios::binary | std::ios::trunc);
    if (!m_out) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

void ModelFileWriter::writeInt(int32_t value)
{
    writeBytes(&value, sizeof value);
}

void ModelFileWriter::writeBytes(const void *data, size_t size)
{
    m_out.write(static_cast<const char *>(data), static_cast<std::streamsize>(size));
}

void ModelFileWriter::writeHeader(const ModelShape &shape, WeightType fileType)
{
    writeBytes(&kGgmlMagic, sizeof kGgmlMagic);
    for (const int32_t value : {shape.vocabSize, shape.audioContext, shape.audioState, shape.audioHeads,
                                shape.audioLayers, shape.textContext, shape.textState, shape.textHeads,
                                shape.textLayers, shape.mels})
        writeInt(value);
    writeInt(fileType == WeightType::F16 ? 1 : 0);
}

void ModelFileWriter::writeMelFilters(int32_t melCount, int32_t binCount, const std::vector<float> &filters)
{
    writeInt(melCount);
    writeInt(binCount);
    writeBytes(filters.data(), filters.size() * sizeof(float));
}

void ModelFileWriter::writeVocabulary(const std::vector<std::string> &tokens)
{
    writeInt(static_cast<int32_t>(tokens.size()));
    for (const auto &token : tokens) {
        const auto length = static_cast<uint32_t>(token.size());
        writeBytes(&length, sizeof length);
        writeBytes(token.data(), token.size());
    }
}

void ModelFileWriter::writeTensor(const std::string &name, const std::vector<int32_t> &dims, WeightType type,
                                  const std::vector<float> &values)
{
    writeInt(static_cast<int32_t>(dims.size()));
    writeInt(static_cast<int32_t>(name.size()));
    writeInt(type == WeightType::F16 ? 1 : 0);
    for (const int32_t d : dims)
        writeInt(d);
    writeBytes(name.data(), name.size());

    if (type == WeightType::F32) {
        writeBytes(values.data(), values.size() * sizeof(float));
        return;
    }
    std::vector<uint16_t> half;
    half.reserve(kHalfChunk);
    for (size_t begin = 0; begin < values.size(); begin += kHalfChunk) {
        const size_t end = std::min(values.size(), begin + kHalfChunk);
        half.clear();
        for (size_t i = begin; i < end; ++i)
            half.push_back(toHalf(values[i]));
        writeBytes(half.data(), half.size() * sizeof(uint16_t));
    }
}

bool ModelFileWriter::finish(std::string &error)
{
    m_out.flush();
    const bool ok = static_cast<bool>(m_out);
    m_out.close();
    if (!ok || m_out.fail()) {
        error = "failed writing " + m_path;
        return false;
    }
    return true;
}

} // namespace sv::modelgen
