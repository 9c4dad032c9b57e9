# Sound awareness: the alert rules, buffer copies and SoundSense with a
# scripted classifier and clock.
sonivane_test(soundsense_test
  SOURCES soundsense/AlertRulesTest.cpp soundsense/AudioBufferCopyTest.cpp soundsense/SoundSenseTest.cpp
  LIBS sonivane_soundsense)
