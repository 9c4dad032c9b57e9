// sonivane-soundeval: runs the sound classifier and the alert rules over a
// folder of labelled WAV clips and prints, per label, how many clips raised
// the alert they should and how many alerts were false. Clips lie in
// DIR/<label>/*.wav; the label is the folder's name, read the way the
// application reads a classifier label (smoke_detector, doorbell, speech...).

#include "ClipRunner.h"
#include "EvalTable.h"

#include "soundsense/SoundSense.h"
#include "tools/wav/WavFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

using namespace sv;
namespace fs = std::filesystem;

namespace {

constexpr double trailingSilence = 2.0;

void usage(FILE *to)
{
    std::fprintf(to,
                 "usage: sonivane-soundeval [--misses] [--trace] DIR\n"
                 "  DIR        clips in DIR/<label>/*.wav; the label is the folder's name\n"
                 "  --misses   also list every missed clip and every false alert\n"
                 "  --trace    also print each clip's analysis windows (top three labels)\n"
                 "Each clip is followed by %.0f s of silence; alerts during it count for the clip.\n",
                 trailingSilence);
}

struct Clip {
    std::string label;
    fs::path path;
};

std::vector<Clip> findClips(const fs::path &root)
{
    std::vector<Clip> clips;
    std::error_code ec;
    for (const auto &folder : fs::directory_iterator(root, ec)) {
        if (!folder.is_directory())
            continue;
        for (const auto &file : fs::directory_iterator(folder.path(), ec))
            if (file.is_regular_file() && file.path().extension() == ".wav")
                clips.push_back({folder.path().filename().string(), file.path()});
    }
    std::sort(clips.begin(), clips.end(), [](const Clip &a, const Clip &b) { return a.path < b.path; });
    return clips;
}

} // namespace

int main(int argc, char **argv)
{
    bool misses = false;
    bool trace = false;
    std::string root;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--misses")) {
            misses = true;
        } else if (!std::strcmp(argv[i], "--trace")) {
            trace = true;
        } else if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            usage(stdout);
            return 0;
        } else if (argv[i][0] == '-' || !root.empty()) {
            usage(stderr);
            return 2;
        } else {
            root = argv[i];
        }
    }
    if (root.empty()) {
        usage(stderr);
        return 2;
    }
    const std::vector<Clip> clips = findClips(root);
    if (clips.empty()) {
        std::fprintf(stderr, "sonivane-soundeval: no clips in %s/<label>/*.wav\n", root.c_str());
        return 1;
    }

    EvalTable table;
    double audioSeconds = 0;
    double cpuSeconds = 0;
    int failures = 0;
    for (const Clip &clip : clips) {
        WavFile wav;
        std::string error;
        if (!readWav(clip.path.string(), wav, error) || wav.frames() == 0) {
            std::fprintf(stderr, "sonivane-soundeval: %s: %s\n", clip.path.c_str(), error.empty() ? "empty" : error.c_str());
            ++failures;
            continue;
        }
        const std::clock_t started = std::clock();
        const ClipRun run = runClip(wav, trailingSilence);
        cpuSeconds += double(std::clock() - started) / CLOCKS_PER_SEC;
        if (!run.error.empty() || run.droppedBuffers) {
            std::fprintf(stderr, "sonivane-soundeval: %s: %s\n", clip.path.c_str(),
                         run.error.empty() ? "buffers were dropped" : run.error.c_str());
            ++failures;
        }
        const double seconds = double(wav.frames()) / wav.sampleRate;
        audioSeconds += seconds + trailingSilence;

        std::optional<std::string> category;
        if (auto c = SoundSense::category(QString::fromStdString(clip.label)))
            category = c->toStdString();
        table.add(clip.label, category, seconds, run);

        if (trace) {
            std::printf("# %s\n", clip.path.c_str());
            for (const EvalWindow &w : run.windows) {
                std::printf("%6.2f", w.end);
                for (const auto &[label, confidence] : w.top)
                    std::printf("  %s %.2f", label.c_str(), confidence);
                std::printf("\n");
            }
        }
        if (misses || trace) {
            bool hit = false;
            for (const EvalAlert &a : run.alerts) {
                const bool right = category && a.category == *category;
                hit = hit || right;
                if (!right || trace)
                    std::printf("%s %s: \"%s\" %.2f at %.1f s\n", right ? "alert" : "false alert", clip.path.c_str(),
                                a.category.c_str(), a.confidence, a.time);
            }
            if (category && !hit)
                std::printf("missed %s\n", clip.path.c_str());
        }
    }
    if (misses || trace)
        std::printf("\n");
    table.print(stdout);
    std::printf("\nClassifier and rules: %.1f s of CPU for %.1f min of audio (%.2f %% of one core).\n", cpuSeconds,
                audioSeconds / 60.0, audioSeconds > 0 ? 100.0 * cpuSeconds / audioSeconds : 0.0);
    return failures ? 1 : 0;
}
