# The desktop application in real windows, on a private X server with two
# screens (gui/with-two-screens); its engines run on fakes.
find_package(Qt6 REQUIRED COMPONENTS Test)
add_executable(app_gui_test gui/AppDelegateGuiTest.cpp gui/GuiMain.cpp)
target_include_directories(app_gui_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(app_gui_test PRIVATE sonivane_gui Qt6::Test GTest::gtest sonivane_warnings)
set_target_properties(app_gui_test PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
add_test(NAME app_gui_test COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/gui/with-two-screens $<TARGET_FILE:app_gui_test>)
set_tests_properties(app_gui_test PROPERTIES LABELS gui SKIP_RETURN_CODE 77 TIMEOUT 180)

add_test(NAME app_starts_test
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/audio/with-pulse ${CMAKE_CURRENT_SOURCE_DIR}/gui/with-two-screens
                 ${CMAKE_CURRENT_SOURCE_DIR}/gui/app-starts $<TARGET_FILE:sonivane>)
set_tests_properties(app_starts_test PROPERTIES LABELS "gui;e2e" SKIP_RETURN_CODE 77 TIMEOUT 120)

add_executable(alarm_end_to_end_test gui/AlarmEndToEndTest.cpp gui/GuiMain.cpp)
target_include_directories(alarm_end_to_end_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(alarm_end_to_end_test PRIVATE sonivane_gui Qt6::Test GTest::gtest sonivane_warnings)
set_target_properties(alarm_end_to_end_test PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
add_test(NAME alarm_end_to_end_test
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/audio/with-pulse ${CMAKE_CURRENT_SOURCE_DIR}/gui/with-two-screens
                 $<TARGET_FILE:alarm_end_to_end_test>)
set_tests_properties(alarm_end_to_end_test PROPERTIES LABELS "gui;e2e" SKIP_RETURN_CODE 77 TIMEOUT 120)
