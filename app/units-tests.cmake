# In-process tests of the program's real windows: the four windows built as the program
# builds them, under Wine, with only the platform function entries replaced.
# Included at the end of app/CMakeLists.txt, once vantrel_units exists.

if(VANTREL_WINDOWS AND TARGET vantrel_units)
  vantrel_test(monitor_window_tests
    SOURCES ${PROJECT_SOURCE_DIR}/monitor/tests/MonitorWindowTest.cpp
            ${PROJECT_SOURCE_DIR}/netwatch/tests/AdapterRecords.cpp
    LIBS vantrel_units vantrel_resources
    TIMEOUT 180)
  vantrel_test(about_window_tests
    SOURCES ${PROJECT_SOURCE_DIR}/about/tests/AboutWindowTest.cpp
    LIBS vantrel_units vantrel_resources
    TIMEOUT 120)
  # Enter and Escape go to the control with the focus: another test's window must not take it.
  set_tests_properties(about_window_tests PROPERTIES RUN_SERIAL TRUE)
  vantrel_test(statistics_window_tests
    SOURCES ${PROJECT_SOURCE_DIR}/stats/tests/StatisticsWindowTest.cpp
    LIBS vantrel_units vantrel_resources
    TIMEOUT 120)
endif()
