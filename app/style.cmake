# The visual style: the Windows-free parser of style data (both builds) and, on Windows, the
# style manager that draws the forms. Included from app/CMakeLists.txt.

add_library(vantrel_style_pure STATIC ${CMAKE_CURRENT_LIST_DIR}/StyleData.cpp)
target_include_directories(vantrel_style_pure PUBLIC ${PROJECT_SOURCE_DIR})

vantrel_test(style_data_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/StyleDataTest.cpp LIBS vantrel_style_pure)
target_compile_definitions(style_data_tests PRIVATE
  VANTREL_STYLE_FILE="${PROJECT_SOURCE_DIR}/resources/IcebergClassico.vsf")

if(VANTREL_WINDOWS)
  add_library(vantrel_style STATIC ${CMAKE_CURRENT_LIST_DIR}/VisualStyle.cpp)
  target_link_libraries(vantrel_style PUBLIC vantrel_style_pure vantrel_platform comctl32 gdi32 user32)

  vantrel_test(visual_style_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/VisualStyleTest.cpp
               LIBS vantrel_style vantrel_resources TIMEOUT 120)
  target_compile_definitions(visual_style_tests PRIVATE
    VANTREL_ARTIFACTS_DIR=L"${CMAKE_BINARY_DIR}/artifacts")
endif()

if(TARGET visual_style_tests)
  # It checks the focused look of a control: another test's window must not take the focus.
  set_tests_properties(visual_style_tests PROPERTIES RUN_SERIAL TRUE)
endif()
