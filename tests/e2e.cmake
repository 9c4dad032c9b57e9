# End to end with real parts: the microphone path through a private
# PulseAudio server, and the replay tool with a generated model.
add_executable(captioner_microphone_test e2e/CaptionerMicrophoneTest.cpp)
target_include_directories(captioner_microphone_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(captioner_microphone_test PRIVATE
  sonivane_captioning sonivane_audio GTest::gtest GTest::gtest_main sonivane_warnings)
set_target_properties(captioner_microphone_test PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
add_test(NAME captioner_microphone_test
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/audio/with-pulse $<TARGET_FILE:captioner_microphone_test>)
set_tests_properties(captioner_microphone_test PROPERTIES LABELS e2e SKIP_RETURN_CODE 77 TIMEOUT 120)

add_test(NAME replay_test
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/e2e/replay-test $<TARGET_FILE:sonivane-replay> $<TARGET_FILE:sonivane-make-model>)
set_tests_properties(replay_test PROPERTIES LABELS e2e SKIP_RETURN_CODE 77 TIMEOUT 180)
