#pragma once

#include "ModelShape.h"

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace sv::modelgen {

enum class WeightType { F32, F16 };

// Writes whisper.cpp's ggml model file, little-endian, in the order its
// loader reads it:
//   magic "ggml", the header (ModelShape's fields, then the file type:
//   0 all f32, 1 mostly f16), the mel filterbank (count, bins, floats), the
//   vocabulary (count, then length-prefixed byte strings), then one record
//   per tensor: dimension count, name length, element type (0 f32, 1 f16),
//   the dimensions fastest-varying first, the name, the raw elements.
// Single-threaded. Write errors are collected and reported by finish().
class ModelFileWriter {
public:
    // Truncates or creates `path`; false with `error` set if it cannot.
    bool open(const std::string &path, std::string &error);

    void writeHeader(const ModelShape &shape, WeightType fileType);
    void writeMelFilters(int32_t melCount, int32_t binCount, const std::vector<float> &filters);
    void writeVocabulary(const std::vector<std::string> &tokens);

    // `values` in ggml order (dims[0] fastest); stored as `type`.
    void writeTensor(const std::string &name, const std::vector<int32_t> &dims, WeightType type,
                     const std::vector<float> &values);

    // Flushes and closes; false with `error` set if anything failed to write.
    bool finish(std::string &error);

private:
    void writeInt(int32_t value);
    void writeBytes(const void *data, size_t size);

    std::ofstream m_out;
    std::string m_path;
};

} // namespace sv::modelgen
