#pragma once

#include <string>
#include <vector>

namespace sv {

// A whole WAV file decoded to float samples, one array per channel.
struct WavFile {
    double sampleRate = 0;
    std::vector<std::vector<float>> channels;

    size_t frames() const { return channels.empty() ? 0 : channels[0].size(); }
};

// Reads RIFF/WAVE with PCM 8/16/24/32-bit or IEEE float 32/64-bit samples
// (plain or WAVE_FORMAT_EXTENSIBLE). On failure returns false with `error`
// saying what is wrong with the file.
bool readWav(const std::string &path, WavFile &out, std::string &error);

// Writes 16-bit PCM (tests and benchmark data).
bool writeWav16(const std::string &path, double sampleRate, const std::vector<std::vector<float>> &channels);

} // namespace sv
