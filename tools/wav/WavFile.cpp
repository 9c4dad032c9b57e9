#include "WavFile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>

namespace sv {

namespace {

uint32_t le32(const unsigned char *p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t le16(const unsigned char *p) { return uint16_t(p[0] | p[1] << 8); }

constexpr uint16_t formatPcm = 1;
constexpr uint16_t formatFloat = 3;
constexpr uint16_t formatExtensible = 0xFFFE;

float decode(const unsigned char *p, uint16_t format, int bits)
{
    if (format == formatFloat) {
        if (bits == 32) {
            float f;
            std::memcpy(&f, p, 4);
            return f;
        }
        double d;
        std::memcpy(&d, p, 8);
        return float(d);
    }
    switch (bits) {
    case 8:
        return (int(p[0]) - 128) / 128.0f;
    case 16:
        return int16_t(le16(p)) / 32768.0f;
    case 24: {
        int32_t v = int32_t(p[0] | p[1] << 8 | p[2] << 16);
        if (v & 0x800000)
            v -= 0x1000000;
        return v / 8388608.0f;
    }
    default:
        return float(int32_t(le32(p)) / 2147483648.0);
    }
}

} // namespace

bool readWav(const std::string &path, WavFile &out, std::string &error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.size() < 12 || std::memcmp(data.data(), "RIFF", 4) != 0 || std::memcmp(data.data() + 8, "WAVE", 4) != 0) {
        error = path + " is not a WAV file";
        return false;
    }
    uint16_t format = 0, channels = 0, bits = 0;
    uint32_t rate = 0;
    const unsigned char *samples = nullptr;
    size_t sampleBytes = 0;
    for (size_t pos = 12; pos + 8 <= data.size();) {
        const unsigned char *chunk = data.data() + pos;
        const size_t size = le32(chunk + 4);
        const size_t available = std::min(size, data.size() - pos - 8);
        if (std::memcmp(chunk, "fmt ", 4) == 0 && available >= 16) {
            format = le16(chunk + 8);
            channels = le16(chunk + 10);
            rate = le32(chunk + 12);
            bits = le16(chunk + 22);
            if (format == formatExtensible && available >= 26)
                format = le16(chunk + 8 + 24); // first two bytes of the sub-format GUID
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            samples = chunk + 8;
            sampleBytes = available; // a truncated file keeps what it has
        }
        pos += 8 + size + (size & 1);
    }
    if (!format || !samples) {
        error = path + " has no " + std::string(format ? "data" : "format") + " chunk";
        return false;
    }
    const bool pcmOk = format == formatPcm && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    const bool floatOk = format == formatFloat && (bits == 32 || bits == 64);
    if (!pcmOk && !floatOk) {
        error = path + ": unsupported sample encoding (format " + std::to_string(format) + ", " +
                std::to_string(bits) + " bits); use PCM or 32-bit float";
        return false;
    }
    if (channels == 0 || rate == 0) {
        error = path + ": invalid format (" + std::to_string(channels) + " channels at " + std::to_string(rate) + " Hz)";
        return false;
    }
    const size_t frameBytes = size_t(channels) * (bits / 8);
    const size_t frames = sampleBytes / frameBytes;
    out.sampleRate = rate;
    out.channels.assign(channels, std::vector<float>(frames));
    for (size_t f = 0; f < frames; ++f)
        for (size_t c = 0; c < channels; ++c)
            out.channels[c][f] = decode(samples + f * frameBytes + c * (bits / 8), format, bits);
    return true;
}

bool writeWav16(const std::string &path, double sampleRate, const std::vector<std::vector<float>> &channels)
{
    std::ofstream out(path, std::ios::binary);
    if (!out || channels.empty())
        return false;
    const uint32_t frames = uint32_t(channels[0].size());
    const uint16_t n = uint16_t(channels.size());
    const uint32_t rate = uint32_t(sampleRate);
    const uint32_t dataBytes = frames * n * 2;
    auto put32 = [&](uint32_t v) { out.write(reinterpret_cast<const char *>(&v), 4); };
    auto put16 = [&](uint16_t v) { out.write(reinterpret_cast<const char *>(&v), 2); };
    out.write("RIFF", 4);
    put32(36 + dataBytes);
    out.write("WAVEfmt ", 8);
    put32(16);
    put16(formatPcm);
    put16(n);
    put32(rate);
    put32(rate * n * 2);
    put16(uint16_t(n * 2));
    put16(16);
    out.write("data", 4);
    put32(dataBytes);
    for (uint32_t f = 0; f < frames; ++f)
        for (const auto &ch : channels) {
            const float v = std::clamp(ch[f], -1.0f, 1.0f);
            put16(uint16_t(int16_t(std::lround(v * 32767.0f))));
        }
    return bool(out);
}

} // namespace sv
