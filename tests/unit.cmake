# Display-free units: captioning rules, buffers, texts.
sonivane_test(caption_text_test SOURCES unit/CaptionTextTest.cpp LIBS sonivane_captioning)
sonivane_test(captioner_test SOURCES unit/CaptionerTest.cpp LIBS sonivane_captioning)
sonivane_test(debug_log_test SOURCES unit/DebugLogTest.cpp LIBS sonivane_captioning)
sonivane_test(sample_buffer_test SOURCES unit/SampleBufferTest.cpp LIBS sonivane_captioning)
sonivane_test(status_text_test SOURCES unit/StatusTextTest.cpp LIBS sonivane_app_core)
target_include_directories(captioner_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
sonivane_test(audio_context_test SOURCES unit/AudioContextTest.cpp)
