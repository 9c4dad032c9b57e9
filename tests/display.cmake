# Caption display. The rules test needs no application object; the renderer
# test brings its own main, which creates a QApplication on the offscreen
# platform, so neither needs an X display.
sonivane_test(display_rules_test SOURCES display/DisplayRulesTest.cpp LIBS sonivane_display_core)
sonivane_test(transcript_renderer_test
  SOURCES display/TranscriptRendererTest.cpp display/GuiTestMain.cpp
  LIBS sonivane_display_core)
