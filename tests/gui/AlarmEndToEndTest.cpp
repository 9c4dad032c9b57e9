// A smoke alarm heard through the real microphone path: a temporal-three
// pattern played into the private PulseAudio server's null sink reaches the
// running application's sound awareness and raises a high alert, with the
// red banner on screen. Only the speech engine is a fake.

#include "app/AppDelegate.h"
#include "platform/PortAudioCapture.h"
#include "platform/QtDispatcher.h"
#include "soundsense/AlertWindows.h"

#include "support/Fakes.h"

#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace sv;
using namespace sv::test;

namespace {

bool run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

TEST(AlarmEndToEnd, TemporalThreeAlarmRaisesTheRedBanner)
{
    const QString sink = qEnvironmentVariable("SONIVANE_TEST_SINK");
    const QString scratch = qEnvironmentVariable("SONIVANE_TEST_DIR");
    ASSERT_FALSE(sink.isEmpty()) << "run through tests/audio/with-pulse";

    QtDispatcher dispatcher{qApp};
    PortAudioCapture capture;
    FakeEngineFactory engines;
    engines.engine->text = "";
    AppServices services;
    services.dispatcher = &dispatcher;
    services.capture = &capture;
    services.engines = &engines;
    services.downloadsFolder = scratch + "/Downloads";
    AppDelegate app(&services);
    app.applicationDidFinishLaunching();
    ASSERT_TRUE(QTest::qWaitFor([&] { return capture.isRunning(); }, 20000));

    // Three 0.5 s tones at 3.1 kHz with 0.5 s gaps, then 1.5 s off; twice.
    const QString tone = scratch + "/tone.wav", gap = scratch + "/gap.wav", off = scratch + "/off.wav",
                  alarm = scratch + "/alarm.wav";
    ASSERT_TRUE(run("sox", {"-n", "-r", "48000", "-c", "1", tone, "synth", "0.5", "sine", "3100", "vol", "0.5"}));
    ASSERT_TRUE(run("sox", {"-n", "-r", "48000", "-c", "1", gap, "trim", "0", "0.5"}));
    ASSERT_TRUE(run("sox", {"-n", "-r", "48000", "-c", "1", off, "trim", "0", "1.0"}));
    QStringList pieces{gap, gap};
    for (int cycle = 0; cycle < 2; ++cycle)
        pieces << tone << gap << tone << gap << tone << off;
    ASSERT_TRUE(run("sox", pieces << alarm));

    QProcess player;
    player.start("paplay", {"-d", sink, alarm});
    const QString expected = QStringLiteral("\U0001F6A8 smoke / CO alarm");
    const bool raised = QTest::qWaitFor(
        [&] { return !app.alerts().entries().isEmpty() && app.alerts().entries().last().text == expected; }, 20000);
    player.waitForFinished(20000);
    ASSERT_TRUE(raised) << "no alert; log has " << app.alerts().entries().size() << " entries";

    auto *banner = qobject_cast<AlertBanner *>(app.banner());
    ASSERT_TRUE(banner);
    EXPECT_TRUE(banner->isHigh());
    EXPECT_EQ(banner->text(), QStringLiteral("\U0001F6A8  smoke / CO alarm"));
    EXPECT_EQ(app.flashes().size(), QGuiApplication::screens().size());

    // What the user sees once the wash has passed: red in the banner's middle band.
    QTest::qWait(4000);
    ASSERT_TRUE(app.banner());
    const QRect at = app.banner()->geometry();
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    const QColor pixel = shot.pixelColor(at.left() + 10, at.center().y());
    EXPECT_GT(pixel.red(), 200);
    EXPECT_LT(pixel.green(), 100);
    if (qEnvironmentVariableIsSet("SONIVANE_SCREENSHOT"))
        shot.save(qEnvironmentVariable("SONIVANE_SCREENSHOT"));
}

} // namespace
