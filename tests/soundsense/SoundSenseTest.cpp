#include "soundsense/SoundSense.h"
#include "tests/support/Fakes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace sv {
namespace {

using namespace std::chrono_literals;

class FakeClock final : public MonotonicClock {
public:
    double now() const override { return seconds.load(); }
    std::atomic<double> seconds{1000.0};
};

// The classifier's side of the test: what each analysed buffer reports, the
// frame positions it was given, and whether it blocks until released.
class FakeClassifier {
public:
    int failCreations = 0; // how many of the next creations fail
    int creations = 0;     // attempts, failed ones included

    SoundSense::AnalyzerFactory factory()
    {
        return [this](const AudioFormat &, SoundAnalyzer::ResultHandler onResult, SoundAnalyzer::ErrorHandler,
                      std::string &error) -> std::unique_ptr<SoundAnalyzer> {
            ++creations;
            if (failCreations > 0) {
                --failCreations;
                error = "unsupported input format";
                return nullptr;
            }
            return std::make_unique<Analyzer>(*this, std::move(onResult));
        };
    }

    // The next analysed buffer reports these classifications.
    void script(std::vector<SoundClassification> classifications)
    {
        std::lock_guard g(m_mutex);
        m_script.push_back(std::move(classifications));
    }
    void setHold(bool hold)
    {
        {
            std::lock_guard g(m_mutex);
            m_hold = hold;
        }
        m_cv.notify_all();
    }
    bool waitInside()
    {
        std::unique_lock l(m_mutex);
        return m_cv.wait_for(l, 5s, [this] { return m_inside; });
    }
    std::vector<int64_t> positions()
    {
        std::lock_guard g(m_mutex);
        return m_positions;
    }

private:
    class Analyzer final : public SoundAnalyzer {
    public:
        Analyzer(FakeClassifier &owner, ResultHandler onResult)
            : m_owner(owner)
            , m_onResult(std::move(onResult))
        {
        }
        void analyze(const AudioBuffer &, int64_t framePosition) override
        {
            SoundAnalysisResult result;
            result.framePosition = framePosition;
            bool report = false;
            {
                std::unique_lock l(m_owner.m_mutex);
                m_owner.m_positions.push_back(framePosition);
                m_owner.m_inside = true;
                m_owner.m_cv.notify_all();
                m_owner.m_cv.wait(l, [this] { return !m_owner.m_hold; });
                m_owner.m_inside = false;
                if (!m_owner.m_script.empty()) {
                    result.classifications = std::move(m_owner.m_script.front());
                    m_owner.m_script.pop_front();
                    report = true;
                }
            }
            if (report)
                m_onResult(result);
        }

    private:
        FakeClassifier &m_owner;
        ResultHandler m_onResult;
    };

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::vector<SoundClassification>> m_script;
    std::vector<int64_t> m_positions;
    bool m_hold = false;
    bool m_inside = false;
};

struct Alert {
    QString label;
    double confidence;
    bool high;
    bool operator==(const Alert &) const = default;
};

std::ostream &operator<<(std::ostream &os, const Alert &a)
{
    return os << a.label.toStdString() << " " << a.confidence << (a.high ? " high" : "");
}

// One SoundSense on a scripted classifier, a clock the test sets and a main
// queue the test drains.
struct Rig {
    FakeClock clock;
    FakeClassifier classifier;
    test::ManualDispatcher dispatcher;
    std::vector<Alert> alerts;
    std::vector<float> silence = std::vector<float>(4096, 0.0f);
    int64_t frames = 0;
    std::unique_ptr<SoundSense> sense;

    Rig() { reset(); }
    void reset()
    {
        sense = std::make_unique<SoundSense>(dispatcher, classifier.factory(), &clock);
        sense->onAlert = [this](const QString &label, double confidence, bool high) {
            alerts.push_back({label, confidence, high});
        };
    }
    void feed(AudioFormat format = {16000.0, 1, SampleType::Float32})
    {
        AudioBuffer b;
        b.format = format;
        b.frameLength = uint32_t(silence.size());
        b.channelData.assign(size_t(format.channels), silence.data());
        sense->analyze(b, AudioTime{frames, format.sampleRate});
        frames += b.frameLength;
    }
    // One analysis window reporting `classifications` at `at` seconds.
    void detect(double at, std::vector<SoundClassification> classifications)
    {
        clock.seconds = 1000.0 + at;
        classifier.script(std::move(classifications));
        feed();
        sense->waitUntilIdle();
        dispatcher.drain();
    }
};

TEST(SoundSense, ConfidenceFloorAppliesToTheTopClassificationOnly)
{
    Rig rig;
    rig.detect(0, {{"doorbell", 0.49}});
    rig.detect(0, {});
    rig.detect(0, {{"speech", 0.9}, {"doorbell", 0.8}});
    rig.detect(0, {{"guitar", 0.9}, {"doorbell", 0.8}});
    EXPECT_TRUE(rig.alerts.empty());
    // The rejected detections above left no repeat window behind.
    rig.detect(0, {{"Doorbell", 0.5}, {"speech", 0.4}});
    rig.detect(1, {{"smoke_detector", 0.75}});
    EXPECT_EQ(rig.alerts, (std::vector<Alert>{{"doorbell", 0.5, false}, {"smoke / CO alarm", 0.75, true}}));
}

TEST(SoundSense, RepeatWindowRunsFromTheLastAlertRaised)
{
    struct Detection {
        double at;
        const char *label;
    };
    struct Case {
        const char *name;
        std::vector<Detection> detections;
        std::vector<const char *> alerts;
    };
    const Case cases[] = {
        {"11.9 s apart", {{0, "doorbell"}, {11.9, "doorbell"}}, {"doorbell"}},
        {"12.0 s apart", {{0, "doorbell"}, {12.0, "doorbell"}}, {"doorbell", "doorbell"}},
        {"suppressed detection does not restart the window",
         {{0, "doorbell"}, {8, "doorbell"}, {13, "doorbell"}},
         {"doorbell", "doorbell"}},
        {"smoke and CO share one window",
         {{0, "smoke_detector"}, {5, "carbon_monoxide_detector"}, {12, "carbon_monoxide_detector"}},
         {"smoke / CO alarm", "smoke / CO alarm"}},
        {"two categories within a second", {{0, "doorbell"}, {0.5, "dog_bark"}}, {"doorbell", "dog barking"}},
        {"a clock stepped back reads as inside the window",
         {{100, "doorbell"}, {50, "doorbell"}, {111.9, "doorbell"}, {112, "doorbell"}},
         {"doorbell", "doorbell"}},
    };
    for (const Case &c : cases) {
        Rig rig;
        for (const Detection &d : c.detections)
            rig.detect(d.at, {{d.label, 0.9}});
        std::vector<QString> labels;
        for (const Alert &a : rig.alerts)
            labels.push_back(a.label);
        std::vector<QString> expected(c.alerts.begin(), c.alerts.end());
        EXPECT_EQ(labels, expected) << c.name;
    }
}

TEST(SoundSense, AlertsArriveOnlyThroughTheMainQueue)
{
    Rig rig;
    rig.classifier.script({{"fire_alarm", 0.9}});
    rig.feed();
    rig.sense->waitUntilIdle();
    EXPECT_TRUE(rig.alerts.empty());

    // Destroyed before the main thread got to the delivery: nothing arrives.
    rig.sense.reset();
    rig.dispatcher.drain();
    EXPECT_TRUE(rig.alerts.empty());
}

TEST(SoundSense, FailedSetupIsRetriedWithTheNextBuffer)
{
    Rig rig;
    rig.classifier.failCreations = 1;
    rig.feed();
    rig.sense->waitUntilIdle();
    EXPECT_FALSE(rig.sense->hasAnalyzer());
    EXPECT_EQ(rig.classifier.creations, 1);

    rig.feed();
    rig.sense->waitUntilIdle();
    EXPECT_TRUE(rig.sense->hasAnalyzer());
    EXPECT_EQ(rig.classifier.creations, 2);
    rig.feed();
    rig.sense->waitUntilIdle();
    EXPECT_EQ(rig.classifier.creations, 2) << "rebuilt for the same format";

    // Another microphone format (a different device after a restart) gets an
    // analyzer made for it, so sound keeps being classified.
    rig.feed({48000.0, 2, SampleType::Float32});
    rig.sense->waitUntilIdle();
    EXPECT_EQ(rig.classifier.creations, 3);
    EXPECT_EQ(rig.classifier.positions(), (std::vector<int64_t>{4096, 8192, 12288}));
}

TEST(SoundSense, FullQueueDropsTheOldestBuffers)
{
    Rig rig;
    const AudioFormat format{48000.0, 1, SampleType::Float32};
    rig.classifier.setHold(true);
    rig.feed(format);
    ASSERT_TRUE(rig.classifier.waitInside());

    // 8 s at 48 kHz is 384000 frames: 93 buffers of 4096 wait, the rest of
    // 100 push the oldest out.
    for (int i = 0; i < 100; ++i)
        rig.feed(format);
    EXPECT_EQ(rig.sense->droppedBuffers(), 7u);

    rig.classifier.setHold(false);
    rig.sense->waitUntilIdle();
    std::vector<int64_t> expected = {0};
    for (int i = 8; i <= 100; ++i)
        expected.push_back(int64_t(i) * 4096);
    EXPECT_EQ(rig.classifier.positions(), expected);
}

} // namespace
} // namespace sv
