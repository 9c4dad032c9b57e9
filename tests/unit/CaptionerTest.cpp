#include "captioning/WhisperCaptioner.h"

#include "support/Fakes.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

using namespace sv;
using namespace sv::test;
using Status = WhisperCaptioner::Status;

namespace {

struct Event {
    QString text;
    bool isFinal;
};

// A captioner on fakes, with its statuses and caption events recorded.
class CaptionerFixture : public ::testing::Test {
protected:
    CaptionerFixture()
    {
        CaptionerServices s;
        s.dispatcher = &dispatcher;
        s.capture = &capture;
        s.engines = &engines;
        s.makeConverter = [](const AudioFormat &) { return std::make_unique<PassThroughConverter>(); };
        s.pacer = &pacer;
        s.debugLogPath = dir.filePath("sv-whisper-debug.log");
        captioner = std::make_unique<WhisperCaptioner>(std::move(s));
        captioner->onStatus = [this](const Status &st) { statuses.push_back(st); };
        captioner->onText = [this](const QString &t, bool f) { events.push_back({t, f}); };
    }
    ~CaptionerFixture() override
    {
        engines.setHold(false);
        engines.engine->setHold(false);
        capture.holdAccess(false);
        captioner.reset();
    }

    int count(Status::Kind kind) const
    {
        return int(std::count_if(statuses.begin(), statuses.end(), [kind](const Status &s) { return s.kind == kind; }));
    }
    bool waitForListening(int n = 1)
    {
        return dispatcher.runUntil([&] { return count(Status::Kind::Listening) >= n; });
    }
    void startListening()
    {
        captioner->start();
        ASSERT_TRUE(waitForListening());
    }
    QStringList logLines() const
    {
        QFile f(dir.filePath("sv-whisper-debug.log"));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    QTemporaryDir dir;
    ManualDispatcher dispatcher;
    FakeCapture capture;
    FakeEngineFactory engines;
    ParkedPacer pacer;
    std::unique_ptr<WhisperCaptioner> captioner;
    std::vector<Status> statuses;
    std::vector<Event> events;
};

std::vector<float> constant(size_t n, float v)
{
    return std::vector<float>(n, v);
}

// ---------------------------------------------------------------- one step

struct StepCase {
    const char *name;
    std::vector<float> samples;
    std::string text;
    int events;        // caption events expected
    bool isFinal;      // of that event
    bool bufferEmptied;
    bool engineCalled;
};

std::vector<float> loudThenQuiet(size_t n, size_t loud, float quiet)
{
    std::vector<float> s(n, quiet);
    std::fill(s.begin(), s.begin() + loud, 1.0f);
    return s;
}

std::vector<float> oneLoudFrame(size_t n, size_t at, float level)
{
    std::vector<float> s(n, 0.0f);
    std::fill(s.begin() + at, s.begin() + at + 1600, level);
    return s;
}

class StepTest : public CaptionerFixture, public ::testing::WithParamInterface<StepCase> {};

TEST_P(StepTest, FollowsTheLineRules)
{
    const StepCase &c = GetParam();
    startListening();
    engines.engine->text = c.text;
    captioner->setSamplesForTest(c.samples);
    captioner->tick();
    dispatcher.drain();

    EXPECT_EQ(engines.engine->calls.load(), c.engineCalled ? 1 : 0);
    ASSERT_EQ(int(events.size()), c.events);
    if (c.events) {
        EXPECT_EQ(events[0].isFinal, c.isFinal);
    }
    EXPECT_EQ(captioner->sampleCount(), c.bufferEmptied ? 0u : c.samples.size());
    EXPECT_FALSE(captioner->isTranscribing());
}

INSTANTIATE_TEST_SUITE_P(
    Table, StepTest,
    ::testing::Values(
        StepCase{"under_minimum", constant(6400, 0.5f), "hi there", 0, false, false, false},
        StepCase{"just_below_minimum", constant(7999, 0.5f), "hi there", 0, false, false, false},
        StepCase{"minimum_loud_is_live", constant(8000, 0.5f), "hi there", 1, false, false, true},
        StepCase{"silent_tail_is_final", loudThenQuiet(40000, 20000, 0.0f), "hi there", 1, true, true, true},
        StepCase{"rms_just_below_threshold", loudThenQuiet(40000, 20000, 0.0059f), "hi there", 1, true, true, true},
        StepCase{"rms_just_above_threshold", loudThenQuiet(40000, 20000, 0.0061f), "hi there", 1, false, false, true},
        // 11200 samples are tested whole: one loud sample lifts the RMS over
        // the threshold; with 11201 that sample falls outside the tail.
        StepCase{"tail_is_whole_snapshot", loudThenQuiet(11200, 1, 0.0f), "hi there", 1, false, false, true},
        StepCase{"tail_is_last_11200", loudThenQuiet(11201, 1, 0.0f), "hi there", 1, true, true, true},
        StepCase{"full_buffer_is_final", constant(192000, 0.5f), "hi there", 1, true, true, true},
        StepCase{"one_short_of_full_is_live", constant(191999, 0.5f), "hi there", 1, false, false, true},
        StepCase{"empty_text_silent_tail_empties", loudThenQuiet(40000, 20000, 0.0f), "[Music]", 0, false, true, true},
        StepCase{"empty_text_loud_tail_keeps", constant(40000, 0.5f), "um", 0, false, false, true},
        // No 100 ms frame at speech level: never sent to the engine, and the
        // buffer starts afresh.
        StepCase{"silent_snapshot_not_transcribed", constant(40000, 0.0059f), "Thank you.", 0, false, true, false},
        StepCase{"one_loud_frame_is_transcribed", oneLoudFrame(40000, 8000, 0.006f), "hi there", 1, true, true, true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(CaptionerFixture, BufferKeepsNewest192000)
{
    startListening();
    std::vector<float> block(4000);
    for (int i = 0; i < 50; ++i) { // 200000 samples
        std::fill(block.begin(), block.end(), float(i));
        ASSERT_TRUE(capture.feed(block));
    }
    EXPECT_EQ(captioner->sampleCount(), 192000u);
}

TEST_F(CaptionerFixture, FinalLineKeepsAudioCapturedDuringTheStep)
{
    startListening();
    captioner->setSamplesForTest(loudThenQuiet(40000, 20000, 0.0f));
    engines.engine->setHold(true);
    std::thread step([&] { captioner->tick(); });
    ASSERT_TRUE(engines.engine->waitInside());
    // The next sentence begins while the engine is still working.
    ASSERT_TRUE(capture.feed(constant(4096, 0.3f)));
    engines.engine->setHold(false);
    step.join();
    dispatcher.drain();

    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(events[0].isFinal);
    EXPECT_EQ(captioner->sampleCount(), 4096u);
}

TEST_F(CaptionerFixture, FailedTranscriptionIsDroppedSilently)
{
    startListening();
    engines.engine->fail = true;
    captioner->setSamplesForTest(loudThenQuiet(40000, 20000, 0.0f));
    const size_t before = statuses.size();
    captioner->tick();
    dispatcher.drain();
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(statuses.size(), before);
    EXPECT_EQ(captioner->sampleCount(), 40000u);
    EXPECT_FALSE(captioner->isTranscribing());
}

TEST_F(CaptionerFixture, OnlyOneStepTranscribesAtATime)
{
    startListening();
    captioner->setSamplesForTest(constant(16000, 0.5f));
    engines.engine->setHold(true);
    std::thread first([&] { captioner->tick(); });
    ASSERT_TRUE(engines.engine->waitInside());
    captioner->tick(); // returns at once: a step is under way
    EXPECT_EQ(engines.engine->calls.load(), 1);
    engines.engine->setHold(false);
    first.join();
}

TEST_F(CaptionerFixture, IdenticalLiveEventsAreAllDeliveredInOrder)
{
    startListening();
    captioner->setSamplesForTest(constant(16000, 0.5f));
    captioner->tick();
    captioner->tick();
    engines.engine->text = "and then more";
    captioner->tick();
    dispatcher.drain();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].text, "hello there");
    EXPECT_EQ(events[1].text, "hello there");
    EXPECT_EQ(events[2].text, "and then more");
}

TEST_F(CaptionerFixture, NoStepBeforeAnEngineOrAfterStop)
{
    captioner->setSamplesForTest(constant(16000, 0.5f));
    captioner->tick(); // not running, no engine
    startListening();
    captioner->stop();
    captioner->setSamplesForTest(constant(16000, 0.5f));
    captioner->tick();
    EXPECT_EQ(engines.engine->calls.load(), 0);
}

// ---------------------------------------------------------- start and stop

TEST_F(CaptionerFixture, FirstStartReportsLoadingThenListening)
{
    startListening();
    ASSERT_GE(statuses.size(), 2u);
    EXPECT_EQ(statuses.front(), Status::loading());
    EXPECT_EQ(statuses.back(), Status::listening());
    EXPECT_TRUE(captioner->isRunning());
    EXPECT_EQ(capture.starts, 1);
}

TEST_F(CaptionerFixture, StopEmptiesTheBufferAndEndsCapture)
{
    captioner->stop(); // before any start
    EXPECT_EQ(captioner->sampleCount(), 0u);
    startListening();
    ASSERT_TRUE(capture.feed(constant(4096, 0.2f)));
    captioner->stop();
    captioner->stop();
    EXPECT_EQ(captioner->sampleCount(), 0u);
    EXPECT_FALSE(captioner->isRunning());
    EXPECT_FALSE(capture.feed(constant(4096, 0.2f))) << "capture after stop()";
}

TEST_F(CaptionerFixture, StopDuringModelLoadingNeverCaptures)
{
    capture.holdAccess(true);
    captioner->start();
    captioner->stop();
    capture.holdAccess(false);
    // The overtaken start ends on its own; give it every chance to misbehave.
    ASSERT_TRUE(dispatcher.runUntil([&] { return capture.accessChecks.load() == 1; }));
    dispatcher.runUntil([] { return false; }, 200ms);
    EXPECT_EQ(capture.starts, 0);
    EXPECT_FALSE(captioner->isRunning());
    EXPECT_EQ(count(Status::Kind::Listening), 0);
}

TEST_F(CaptionerFixture, TwoStartsWhileLoadingOpenOneStream)
{
    capture.holdAccess(true);
    captioner->start();
    captioner->start();
    capture.holdAccess(false);
    ASSERT_TRUE(waitForListening());
    dispatcher.runUntil([] { return false; }, 200ms);
    EXPECT_EQ(capture.starts, 1);
    EXPECT_FALSE(capture.doubleStart);
    EXPECT_EQ(count(Status::Kind::Listening), 1);
    EXPECT_EQ(count(Status::Kind::Loading), 2);
}

TEST_F(CaptionerFixture, RestartRunsOneLoopOnOneStream)
{
    startListening();
    ASSERT_TRUE(dispatcher.runUntil([&] { return pacer.active.load() == 1; }));
    captioner->stop();
    captioner->start();
    ASSERT_TRUE(waitForListening(2));
    ASSERT_TRUE(dispatcher.runUntil([&] { return pacer.active.load() == 1; }));
    dispatcher.runUntil([] { return false; }, 100ms);
    EXPECT_EQ(pacer.active.load(), 1) << "a cancelled loop is still running";
    EXPECT_EQ(capture.starts, 2);
    EXPECT_FALSE(capture.doubleStart);
}

TEST_F(CaptionerFixture, AudioStartFailureLeavesNothingOpen)
{
    capture.failStarts = 1;
    captioner->start();
    ASSERT_TRUE(dispatcher.runUntil([&] { return count(Status::Kind::Error) == 1; }));
    EXPECT_EQ(statuses.back(), Status::error("the input device is busy"));
    EXPECT_FALSE(capture.isRunning());
    startListening();
    EXPECT_EQ(capture.starts, 1);
}

TEST_F(CaptionerFixture, PermissionRefusedReportsDeniedAndLoadsNothing)
{
    capture.granted = false;
    captioner->start();
    ASSERT_TRUE(dispatcher.runUntil([&] { return count(Status::Kind::Denied) == 1; }));
    dispatcher.runUntil([] { return false; }, 100ms);
    EXPECT_EQ(engines.creations.load(), 0);
    EXPECT_TRUE(logLines().filter("mic access granted=false").size() == 1);
}

TEST_F(CaptionerFixture, ModelLoadFailureReportsItsReason)
{
    engines.fail = true;
    captioner->start();
    ASSERT_TRUE(dispatcher.runUntil([&] { return count(Status::Kind::Error) == 1; }));
    EXPECT_EQ(statuses.back().message, "model load failed: could not download ggml-base.bin: HTTP error 404");
    EXPECT_FALSE(captioner->hasRecognizer());
    EXPECT_EQ(capture.starts, 0);
}

TEST_F(CaptionerFixture, DebugLogTracesEachStart)
{
    startListening();
    captioner->stop();
    startListening();
    dispatcher.runUntil([&] { return logLines().size() >= 8; });
    const QStringList lines = logLines();
    const QRegularExpression form(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \+0000 (.*)$)");
    QStringList messages;
    for (const QString &line : lines) {
        const auto m = form.match(line);
        ASSERT_TRUE(m.hasMatch()) << line.toStdString();
        messages << m.captured(1);
    }
    const QStringList once{"start(): requesting mic access", "mic access granted=true",
                           "loading speech model \"base\"", "speech engine ready"};
    EXPECT_EQ(messages, once + once);
}

TEST(CaptionerCapacity, FollowsTheRateRatio)
{
    EXPECT_EQ(WhisperCaptioner::outputCapacity(48000, 4096), 2389u);
    EXPECT_EQ(WhisperCaptioner::outputCapacity(16000, 4096), 5120u);
    EXPECT_EQ(WhisperCaptioner::outputCapacity(44100, 4096), 1486u + 1024u);
    EXPECT_EQ(WhisperCaptioner::outputCapacity(0, 4096), 0u);
    EXPECT_EQ(WhisperCaptioner::outputCapacity(std::nan(""), 4096), 0u);
    EXPECT_EQ(WhisperCaptioner::outputCapacity(INFINITY, 4096), 0u);
}

} // namespace
