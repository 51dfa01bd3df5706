# The host test window built as the program builds it, under Wine with real loopback pings. vantrel_units is made in app/, which
# is configured before this folder.

if(VANTREL_WINDOWS AND TARGET vantrel_units)
  vantrel_test(hosttest_window_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/HostTestFormTest.cpp
    LIBS vantrel_units vantrel_resources
    TIMEOUT 180)
endif()
