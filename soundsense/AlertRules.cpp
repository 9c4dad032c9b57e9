#include "AlertRules.h"

#include <array>
#include <utility>

namespace sv {

namespace {

// Labels holding any of these words are never alerts, whatever else they
// contain: the classifier hears speech and music far more often than events.
constexpr std::array<const char *, 13> ignoreWords = {
    "speech", "music", "sing", "silence", "noise", "static", "whisper",
    "typing", "keyboard", "breath", "footstep", "chatter", "babble",
};

// Searched top to bottom, first match wins: a specific pattern must stand
// above every general pattern it contains ("doorbell" above "door" and
// "bell", "train" above "rain", "beep" above "bee"). Rows sharing a category
// share its repeat window.
constexpr std::array<std::pair<const char *, const char *>, 70> rules = {{
    {"doorbell", "doorbell"},
    {"knock", "knocking"},
    {"smoke", "smoke / CO alarm"},
    {"carbon_monoxide", "smoke / CO alarm"},
    {"fire_alarm", "fire alarm"},
    {"siren", "siren"},
    {"civil_defense", "siren"},
    {"telephone", "phone ringing"},
    {"ringtone", "phone ringing"},
    {"ringer", "phone ringing"},
    {"dial_tone", "phone ringing"},
    {"scream", "shouting"},
    {"shout", "shouting"},
    {"yell", "shouting"},
    {"baby_cry", "baby crying"},
    {"infant_cry", "baby crying"},
    {"crying_sobbing", "baby crying"},
    {"glass", "glass breaking"},
    {"clap", "clapping"},
    {"applause", "clapping"},
    {"whistl", "whistle"},
    {"finger_snap", "finger snap"},
    {"cat", "cat meowing"},
    {"meow", "cat meowing"},
    {"dog", "dog barking"},
    {"bark", "dog barking"},
    {"bird", "bird"},
    {"chirp", "bird"},
    {"tweet", "bird"},
    {"rooster", "rooster"},
    {"microwave", "microwave"},
    {"crow", "crow"},
    {"cricket", "crickets"},
    {"cow", "cow"},
    {"pig", "pig"},
    {"horse", "horse"},
    {"sheep", "sheep"},
    {"goat", "goat"},
    {"frog", "frog"},
    {"lion", "roar"},
    {"roar", "roar"},
    {"insect", "insects"},
    {"beep", "beeping"},
    {"bee", "buzzing"},
    {"kettle", "kettle"},
    {"blender", "blender"},
    {"vacuum", "vacuum"},
    {"water", "water running"},
    {"toilet_flush", "toilet"},
    {"door", "door"},
    {"cutlery", "dishes"},
    {"dishes", "dishes"},
    {"alarm_clock", "alarm clock"},
    {"car_horn", "car horn"},
    {"honk", "car horn"},
    {"train", "train"},
    {"aircraft", "aircraft"},
    {"helicopter", "helicopter"},
    {"motorcycle", "motorcycle"},
    {"engine", "engine"},
    {"thunder", "thunder"},
    {"rain", "rain"},
    {"wind", "wind"},
    {"cough", "coughing"},
    {"sneeze", "sneeze"},
    {"laughter", "laughter"},
    {"snor", "snoring"},
    {"bell", "bell"},
    {"buzzer", "buzzer"},
    {"alarm", "alarm"},
}};

} // namespace

std::optional<QString> alertCategory(const QString &label)
{
    const QString lower = label.toLower();
    for (const char *word : ignoreWords) {
        if (lower.contains(QLatin1StringView(word)))
            return std::nullopt;
    }
    for (const auto &[pattern, category] : rules) {
        if (lower.contains(QLatin1StringView(pattern)))
            return QString::fromLatin1(category);
    }
    return std::nullopt;
}

const QSet<QString> &highPriorityCategories()
{
    static const QSet<QString> categories = {
        QStringLiteral("alarm"),   QStringLiteral("fire alarm"), QStringLiteral("smoke / CO alarm"),
        QStringLiteral("siren"),   QStringLiteral("shouting"),   QStringLiteral("glass breaking"),
    };
    return categories;
}

} // namespace sv
