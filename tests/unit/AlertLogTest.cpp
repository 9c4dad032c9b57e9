#include "soundsense/AlertLog.h"

#include <gtest/gtest.h>

using sv::AlertLog;

TEST(AlertLog, KeepsTenMinutesCountedWhenAnAlertArrives)
{
    const QDateTime t0 = QDateTime::fromSecsSinceEpoch(1'800'000'000);
    AlertLog log;
    log.add("doorbell", false, t0);
    log.add("alarm", true, t0.addSecs(1));
    // 600 s old stays, 601 s old goes; nothing is pruned without a new alert.
    log.add("knocking", false, t0.addSecs(601));
    ASSERT_EQ(log.entries().size(), 2);
    EXPECT_EQ(log.entries()[0].text, QStringLiteral("\U0001F6A8 alarm"));
    EXPECT_EQ(log.entries()[1].text, QStringLiteral("\U0001F514 knocking"));
    // A clock set back keeps everything: negative ages are not "older".
    log.add("siren", true, t0.addSecs(-3600));
    EXPECT_EQ(log.entries().size(), 3);
}
