#pragma once

#include "tools/wav/WavFile.h"

#include <string>
#include <vector>

namespace sv {

// One alert the application would have raised, and when: seconds of audio
// from the start of the clip to the end of the analysis window that raised it.
struct EvalAlert {
    std::string category;
    double confidence = 0;
    bool high = false;
    double time = 0;
};

// One analysis window as the classifier reported it, for tracing.
struct EvalWindow {
    double end = 0; // seconds into the clip
    std::vector<std::pair<std::string, double>> top; // at most three labels
};

struct ClipRun {
    std::vector<EvalAlert> alerts;
    std::vector<EvalWindow> windows;
    std::string error; // set when the clip could not be analysed at all
    unsigned long long droppedBuffers = 0;
};

// Plays `clip` through the application's own alert pipeline (SoundSense with
// the classifier, the confidence floor, the rule tables and the repeat
// window), in 4096-frame buffers at the clip's own rate and channel count,
// followed by `trailingSilence` seconds of silence so that the last windows
// complete. The repeat window runs on the clip's audio time, not on the wall
// clock, so a clip is judged as if it had been heard live. Each clip gets a
// fresh pipeline.
ClipRun runClip(const WavFile &clip, double trailingSilence);

} // namespace sv
