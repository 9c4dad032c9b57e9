# Audio capture and conversion. The converter test needs nothing but libsoxr.
# The capture test runs inside a private PulseAudio server that
# audio/with-pulse starts for it and stops afterwards, so it never depends on
# (or disturbs) the user's own sound setup; it skips (77) when PulseAudio,
# espeak-ng or sox is not installed.
sonivane_test(sample_rate_converter_test SOURCES audio/SampleRateConverterTest.cpp LIBS sonivane_audio)

# Built like sonivane_test's executables, but started through the wrapper.
add_executable(audio_capture_test audio/AudioCaptureTest.cpp)
target_link_libraries(audio_capture_test PRIVATE sonivane_audio GTest::gtest GTest::gtest_main sonivane_warnings)
set_target_properties(audio_capture_test PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
add_test(NAME audio_capture_test COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/audio/with-pulse $<TARGET_FILE:audio_capture_test>)
set_tests_properties(audio_capture_test PROPERTIES LABELS e2e SKIP_RETURN_CODE 77 TIMEOUT 120)
