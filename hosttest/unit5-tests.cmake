# The host test window built as the program builds it, under Wine with real loopback pings; and
# the program itself driven end to end through that window from its tray menu. vantrel_units and
# vantrel are made in app/, which is configured before this folder.

if(VANTREL_WINDOWS AND TARGET vantrel_units)
  vantrel_test(hosttest_window_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/HostTestFormTest.cpp
    LIBS vantrel_units vantrel_resources
    TIMEOUT 180)
endif()

if(VANTREL_WINDOWS AND TARGET vantrel)
  # The window's texts are read inside Wine by wintext.exe, made in tests/ (configured later;
  # the generator expression is resolved once every folder is configured). Exits 77 when network
  # namespaces cannot be made here.
  # The same run as an administrator (the raw socket) and as a standard user (the raw socket
  # refused, the platform's echo service in its place).
  add_test(NAME hosttest_window_e2e
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/e2e/hosttest_e2e.sh
      $<TARGET_FILE:vantrel> $<TARGET_FILE:wintext> $<TARGET_FILE:icmpprobe>)
  add_test(NAME hosttest_window_e2e_standard_user
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/e2e/hosttest_e2e.sh
      $<TARGET_FILE:vantrel> $<TARGET_FILE:wintext> $<TARGET_FILE:icmpprobe> standard-user)
  # A Wine session is several busy processes; tell `ctest -j`, as the other end-to-end tests do.
  set_tests_properties(hosttest_window_e2e hosttest_window_e2e_standard_user PROPERTIES
    LABELS e2e
    PROCESSORS 2
    TIMEOUT 240
    SKIP_RETURN_CODE 77
    ENVIRONMENT "E2E_ARTIFACTS=${CMAKE_BINARY_DIR}/artifacts")
endif()
