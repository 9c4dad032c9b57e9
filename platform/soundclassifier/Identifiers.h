#pragma once

// The labels the classifier reports. Words are joined by underscores; the
// alert rules match them as lower-case substrings, so none of the alert labels
// may contain a word the rules ignore ("sing", "noise", ...).
namespace sv::sound_label {

inline constexpr const char *smokeDetector = "smoke_detector";
inline constexpr const char *carbonMonoxideDetector = "carbon_monoxide_detector";
inline constexpr const char *fireAlarm = "fire_alarm";
inline constexpr const char *siren = "siren";
inline constexpr const char *beep = "beep";
inline constexpr const char *alarmClock = "alarm_clock";
inline constexpr const char *telephone = "telephone_bell_ringing";
inline constexpr const char *doorbell = "doorbell";
inline constexpr const char *knock = "knock";

inline constexpr const char *speech = "speech";
inline constexpr const char *music = "music";
inline constexpr const char *silence = "silence";
inline constexpr const char *noise = "noise";

} // namespace sv::sound_label
