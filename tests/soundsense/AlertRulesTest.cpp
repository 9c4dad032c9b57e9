#include "soundsense/SoundSense.h"

#include <gtest/gtest.h>

namespace sv {
namespace {

struct LabelCase {
    const char *label;
    const char *category; // null: no alert
};

TEST(AlertRules, MapsLabelsToCategories)
{
    const LabelCase cases[] = {
        {"doorbell", "doorbell"},
        {"Doorbell", "doorbell"},
        {"DOORBELL", "doorbell"},
        {"door_bell_ring", "door"},          // first matching row, not a word match
        {"hissing", nullptr},                // "sing" is ignored even inside a word
        {"fire_alarm_music", nullptr},       // ignore words win over patterns
        {"speech_and_alarm", nullptr},
        {"smoke_detector", "smoke / CO alarm"},
        {"carbon_monoxide_detector", "smoke / CO alarm"},
        {"microwave_oven", "microwave"},     // contains "crow"
        {"crow", "crow"},
        {"beep", "beeping"},
        {"bee", "buzzing"},
        {"alarm_clock", "alarm clock"},
        {"fire_alarm", "fire alarm"},
        {"alarm", "alarm"},
        {"train_horn", "train"},             // contains "rain"
        {"rain", "rain"},
        {"dog_bark", "dog barking"},
        {"guitar", nullptr},
        {"", nullptr},
    };
    for (const LabelCase &c : cases) {
        const std::optional<QString> category = SoundSense::category(QString::fromUtf8(c.label));
        if (c.category)
            EXPECT_EQ(category, std::optional<QString>(QString::fromUtf8(c.category))) << c.label;
        else
            EXPECT_EQ(category, std::nullopt) << c.label;
    }
}

TEST(AlertRules, HighPriorityCategories)
{
    const QSet<QString> expected = {"alarm", "fire alarm", "smoke / CO alarm", "siren", "shouting", "glass breaking"};
    EXPECT_EQ(SoundSense::highPriority(), expected);
    EXPECT_FALSE(SoundSense::highPriority().contains(*SoundSense::category("alarm_clock")));
    EXPECT_TRUE(SoundSense::highPriority().contains(*SoundSense::category("fire_alarm")));
}

} // namespace
} // namespace sv
