# The environmental sound classifier, on sounds the test builds itself:
# each detector's pattern and its near misses, every sample format, and the
# formats it refuses.
sonivane_test(sound_classifier_test
  SOURCES classifier/SoundClassifierTest.cpp classifier/TestSignals.cpp
  LIBS sonivane_soundclassifier)
