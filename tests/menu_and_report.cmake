# Menu model and diagnostics report: pure data and file writes, no display.
sonivane_test(menu_model_test SOURCES gui-free/MenuModelTest.cpp LIBS sonivane_app_core)
sonivane_test(diagnostics_report_test SOURCES gui-free/DiagnosticsReportTest.cpp LIBS sonivane_diagnostics)
