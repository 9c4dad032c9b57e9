// capture_bench: what the capture callback costs per 4096-frame buffer: the
// conversion to 16 kHz mono (makeSampleRateConverter, libsoxr) and the append
// into the full 12 s rolling buffer under its mutex, which is what
// WhisperCaptioner::appendConverted does on the capture thread.
//
//   capture_bench [--buffers N]
//
// Prints a Markdown table of microseconds per buffer and the share of the
// time the buffer's audio covers.

#include "bench/common/Stats.h"
#include "captioning/SampleBuffer.h"
#include "captioning/WhisperCaptioner.h"
#include "platform/SampleRateConverter.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <numbers>
#include <string>
#include <vector>

using namespace sv;
using namespace sv::bench;

namespace {

struct Timings {
    std::vector<double> convertUs, appendUs, totalUs;
};

// Channels of a tone with noise, at speech level, continuing from `frame`.
void fillBuffer(std::vector<std::vector<float>> &channels, double rate, int64_t frame, uint32_t &seed)
{
    for (size_t c = 0; c < channels.size(); ++c) {
        for (size_t i = 0; i < channels[c].size(); ++i) {
            seed = seed * 1664525u + 1013904223u;
            const double t = double(frame + int64_t(i)) / rate;
            const double noise = double(seed >> 8) / double(1 << 24) - 0.5;
            channels[c][i] = float(0.1 * std::sin(2.0 * std::numbers::pi * 220.0 * t) + 0.02 * noise);
        }
    }
}

bool measure(double rate, int channelCount, int buffers, Timings &out)
{
    using clock = std::chrono::steady_clock;
    const AudioFormat format{rate, channelCount, SampleType::Float32};
    auto converter = makeSampleRateConverter(format, WhisperCaptioner::sampleRate);
    if (!converter)
        return false;
    const uint32_t frames = WhisperCaptioner::framesPerBuffer;
    std::vector<float> scratch(WhisperCaptioner::outputCapacity(rate, frames));
    std::mutex lock;
    SampleBuffer samples(WhisperCaptioner::fullBuffer);

    std::vector<std::vector<float>> channels(static_cast<size_t>(channelCount), std::vector<float>(frames));
    AudioBuffer buffer;
    buffer.format = format;
    buffer.frameLength = frames;
    for (const auto &ch : channels)
        buffer.channelData.push_back(ch.data());

    // Enough buffers first to fill the rolling buffer: the steady state is a
    // full buffer that drops its oldest audio on every append.
    const int fill = int(WhisperCaptioner::fullBuffer * rate / WhisperCaptioner::sampleRate / frames) + 2;
    uint32_t seed = 7;
    for (int i = 0; i < fill + buffers; ++i) {
        fillBuffer(channels, rate, int64_t(i) * frames, seed);
        const auto t0 = clock::now();
        size_t produced = 0;
        if (!converter->convert(buffer, scratch.data(), scratch.size(), produced))
            return false;
        const auto t1 = clock::now();
        {
            std::lock_guard guard(lock);
            samples.append(scratch.data(), produced);
        }
        const auto t2 = clock::now();
        if (i < fill)
            continue;
        out.convertUs.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        out.appendUs.push_back(std::chrono::duration<double, std::micro>(t2 - t1).count());
        out.totalUs.push_back(std::chrono::duration<double, std::micro>(t2 - t0).count());
    }
    return samples.size() == WhisperCaptioner::fullBuffer;
}

} // namespace

int main(int argc, char **argv)
{
    int buffers = 3000;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--buffers" && i + 1 < argc && std::atoi(argv[i + 1]) > 0) {
            buffers = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: capture_bench [--buffers N]\n");
            return 2;
        }
    }

    struct Input {
        double rate;
        int channels;
    };
    std::printf("Capture callback per %u-frame float buffer, %d buffers after the 12 s buffer is full (us)\n\n",
                WhisperCaptioner::framesPerBuffer, buffers);
    std::printf("| input | part | mean | median | p99 | max | mean share of the buffer's audio |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    std::vector<std::vector<double>> outliers;
    for (const Input in : {Input{48000, 2}, Input{44100, 2}}) {
        Timings t;
        if (!measure(in.rate, in.channels, buffers, t)) {
            std::fprintf(stderr, "capture_bench: conversion failed at %.0f Hz\n", in.rate);
            return 1;
        }
        const double coveredUs = 1e6 * WhisperCaptioner::framesPerBuffer / in.rate;
        const struct {
            const char *name;
            const std::vector<double> &v;
        } parts[] = {{"convert", t.convertUs}, {"append under the lock", t.appendUs}, {"total", t.totalUs}};
        for (const auto &part : parts)
            std::printf("| %.0f Hz, %d ch | %s | %.1f | %.1f | %.1f | %.1f | %.4f%% |\n", in.rate, in.channels,
                        part.name, mean(part.v), median(part.v), percentile(part.v, 99), maximum(part.v),
                        100.0 * mean(part.v) / coveredUs);
        std::printf("| %.0f Hz, %d ch | (the buffer covers) | %.0f |  |  |  |  |\n", in.rate, in.channels, coveredUs);
        outliers.push_back(t.appendUs);
    }

    // The rolling buffer compacts its storage once per 12 s of audio, and the
    // first compaction of a process also touches its reserved memory for the
    // first time; both show here rather than in the median.
    std::printf("\nAppends over 10 us (48000 Hz, then 44100 Hz)\n\n| input | count | of buffers | median of those | max |\n"
                "|---|---|---|---|---|\n");
    const char *names[] = {"48000 Hz, 2 ch", "44100 Hz, 2 ch"};
    for (size_t k = 0; k < outliers.size(); ++k) {
        std::vector<double> slow;
        for (double us : outliers[k])
            if (us > 10.0)
                slow.push_back(us);
        std::printf("| %s | %zu | %zu | %.1f | %.1f |\n", names[k], slow.size(), outliers[k].size(), median(slow),
                    maximum(slow));
    }
    return 0;
}
