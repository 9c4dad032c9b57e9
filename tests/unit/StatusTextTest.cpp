#include "app/StatusText.h"

#include <gtest/gtest.h>

using sv::statusLine;
using Status = sv::WhisperCaptioner::Status;

TEST(StatusText, EachStatusHasItsLine)
{
    EXPECT_EQ(statusLine(Status::loading(), true),
              QStringLiteral("Preparing captions — downloading the language model (one time)…"));
    EXPECT_EQ(statusLine(Status::listening(), true), QStringLiteral("Listening… speak in any language."));
    EXPECT_EQ(statusLine(Status::denied(), false),
              QStringLiteral("Allow Microphone access in System Settings › Privacy, then reopen."));
    EXPECT_EQ(statusLine(Status::error("boom"), false), QStringLiteral("Caption error: boom"));
    EXPECT_EQ(statusLine(Status::error(""), true), QStringLiteral("Caption error: "));
}

TEST(StatusText, ListeningLeavesTheLineOnceThereIsHistory)
{
    EXPECT_FALSE(statusLine(Status::listening(), false).has_value());
}
