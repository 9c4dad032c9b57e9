// sonivane-replay: runs the captioner over a WAV file instead of the
// microphone and prints every event, one per line:
//   <seconds into the audio>\t<status|live|final>\t<text>

#include "ReplayCapture.h"
#include "ReplayPacer.h"

#include "app/StatusText.h"
#include "captioning/WhisperCaptioner.h"
#include "platform/ModelStore.h"
#include "platform/QtDispatcher.h"
#include "platform/SampleRateConverter.h"
#include "platform/WhisperEngine.h"
#include "soundsense/MonotonicClock.h"
#include "soundsense/SoundSense.h"
#include "tools/wav/WavFile.h"

#include <QCoreApplication>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

using namespace sv;

namespace {

constexpr double paddingSeconds = 2.0;

void usage(FILE *to)
{
    std::fprintf(to,
                 "usage: sonivane-replay [--model PATH] [--fast] [--no-captions] [--verbose] FILE.wav\n"
                 "  --model PATH   use this ggml model file instead of the model store\n"
                 "  --fast         do not wait in real time; the timeline stays that of a live run\n"
                 "  --no-captions  run the sound alerts alone (always as fast as it goes)\n"
                 "  --verbose      show whisper.cpp's log on stderr\n"
                 "Output, one event per line: <seconds>\\t<status|live|final>\\t<text>, or\n"
                 "<seconds>\\talert\\t<category>\\t<normal|high>\\t<confidence>\n"
                 "The recording is followed by %.0f s of silence so that its last line can end.\n",
                 paddingSeconds);
}

// Stamps each delivery with how much audio had been fed when it was posted,
// which is the moment the event was produced.
class StampingDispatcher final : public Dispatcher {
public:
    StampingDispatcher(Dispatcher &inner, const ReplayCapture &capture)
        : m_inner(inner)
        , m_capture(capture)
    {
    }
    void post(std::function<void()> task) override
    {
        const double at = m_capture.secondsFed();
        m_inner.post([this, at, task = std::move(task)] {
            stamp = at;
            task();
        });
    }
    double stamp = 0; // main thread

private:
    Dispatcher &m_inner;
    const ReplayCapture &m_capture;
};

void printLine(double at, const char *kind, const QString &text)
{
    std::printf("%.1f\t%s\t%s\n", at, kind, text.toUtf8().constData());
    std::fflush(stdout);
}

void printAlert(double at, const QString &label, double confidence, bool high)
{
    std::printf("%.1f\talert\t%s\t%s\t%.2f\n", at, label.toUtf8().constData(), high ? "high" : "normal", confidence);
    std::fflush(stdout);
}

// The recording's own time, so that the alerts' repeat window runs on the
// audio's timeline whether or not the replay waits in real time.
class AudioClock final : public MonotonicClock {
public:
    explicit AudioClock(const ReplayCapture &capture)
        : m_capture(capture)
    {
    }
    double now() const override { return m_capture.secondsFed(); }

private:
    const ReplayCapture &m_capture;
};

} // namespace

int main(int argc, char **argv)
{
    std::string modelPath, wavPath;
    bool fast = false, verbose = false, captions = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--model" && i + 1 < argc) {
            modelPath = argv[++i];
        } else if (arg == "--fast") {
            fast = true;
        } else if (arg == "--no-captions") {
            captions = false;
        } else if (arg == "--verbose") {
            verbose = true;
        } else if (arg == "-h" || arg == "--help") {
            usage(stdout);
            return 0;
        } else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "sonivane-replay: unknown option %s\n", arg.c_str());
            usage(stderr);
            return 2;
        } else if (wavPath.empty()) {
            wavPath = arg;
        } else {
            usage(stderr);
            return 2;
        }
    }
    if (wavPath.empty()) {
        usage(stderr);
        return 2;
    }

    WavFile wav;
    std::string error;
    if (!readWav(wavPath, wav, error)) {
        std::fprintf(stderr, "sonivane-replay: %s\n", error.c_str());
        return 2;
    }
    if (wav.frames() == 0) {
        std::fprintf(stderr, "sonivane-replay: %s holds no audio\n", wavPath.c_str());
        return 2;
    }

    QCoreApplication app(argc, argv);
    routeWhisperLog(verbose);

    ReplayCapture capture(std::move(wav), captions && !fast, paddingSeconds);
    QtDispatcher mainQueue(&app);
    StampingDispatcher dispatcher(mainQueue, capture);
    AudioClock audioClock(capture);
    SoundSense soundSense(dispatcher, makeSoundAnalyzer, &audioClock);
    soundSense.onAlert = [&](const QString &label, double confidence, bool high) {
        printAlert(dispatcher.stamp, label, confidence, high);
    };

    if (!captions) {
        // Each buffer is classified before the next is fed, so every alert
        // carries the time of the audio that raised it.
        std::string unused;
        capture.start([&](const AudioBuffer &buffer, AudioTime time) { soundSense.analyze(buffer, time); }, unused);
        while (capture.feed(double(WhisperCaptioner::framesPerBuffer) / capture.inputFormat().sampleRate)) {
            soundSense.waitUntilIdle();
            QCoreApplication::processEvents();
        }
        soundSense.waitUntilIdle();
        QCoreApplication::processEvents();
        capture.stop();
        return 0;
    }
    ReplayPacer pacer(capture, fast, [&mainQueue] { mainQueue.post([] { QCoreApplication::exit(0); }); });

    std::unique_ptr<WhisperEngineFactory> engines;
    if (!modelPath.empty())
        engines = std::make_unique<WhisperEngineFactory>(WhisperEngineFactory::fromFile(modelPath));
    else
        engines = std::make_unique<WhisperEngineFactory>(
            ModelStore(ModelStore::defaultRepositoryUrl(), ModelStore::defaultCacheDir()));

    CaptionerServices services;
    services.dispatcher = &dispatcher;
    services.capture = &capture;
    services.engines = engines.get();
    services.makeConverter = [](const AudioFormat &format) {
        return makeSampleRateConverter(format, WhisperCaptioner::sampleRate);
    };
    services.pacer = &pacer;
    WhisperCaptioner captioner(std::move(services));
    captioner.onAudioBuffer = [&](const AudioBuffer &buffer, AudioTime time) { soundSense.analyze(buffer, time); };

    int exitCode = 0;
    captioner.onStatus = [&](const WhisperCaptioner::Status &status) {
        printLine(dispatcher.stamp, "status", statusLine(status, true).value_or(QString()));
        using Kind = WhisperCaptioner::Status::Kind;
        if (status.kind == Kind::Denied || status.kind == Kind::Error) {
            exitCode = 1;
            QCoreApplication::exit(1);
        }
    };
    captioner.onText = [&](const QString &text, bool isFinal) {
        printLine(dispatcher.stamp, isFinal ? "final" : "live", text);
    };
    captioner.start();
    const int rc = app.exec();
    captioner.stop();
    return rc ? rc : exitCode;
}
