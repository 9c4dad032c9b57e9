#pragma once

#include <algorithm>
#include <cstddef>

namespace sv {

// Whisper's encoder sees 30 s windows, 1500 frames of 20 ms (320 samples at
// 16 kHz), whatever the audio holds; encoding only the frames that carry
// audio makes a step several times faster on short snapshots.
//
// The margin keeps the end of the speech away from the edge of the encoded
// context: the decoder places its closing timestamp there, and a context cut
// flush at the last word has been seen to truncate the final word. 32 frames
// (0.64 s) is generous next to the 20 ms granularity, and the total is
// rounded up to a multiple of 32 so that the context length, and with it the
// compute graph, changes only every 0.64 s of audio instead of every step.
constexpr int encoderFrameSamples = 320;
constexpr int audioContextMargin = 32;
constexpr int audioContextStep = 32;

// The encoder frames for `samples` of audio, never more than the model has.
inline int audioContextFor(size_t samples, int modelContext = 1500, int margin = audioContextMargin)
{
    const size_t frames = (samples + encoderFrameSamples - 1) / encoderFrameSamples;
    const size_t padded =
        (frames + size_t(margin) + audioContextStep - 1) / audioContextStep * audioContextStep;
    return int(std::min<size_t>(padded, size_t(modelContext)));
}

} // namespace sv
