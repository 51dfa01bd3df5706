# The notification icon's pictures: the Windows-free face rasterizer and, on Windows, the
# image list built from it. Included from monitor/CMakeLists.txt.

add_library(vantrel_monitor_pure STATIC ${CMAKE_CURRENT_LIST_DIR}/FacePictures.cpp)
target_include_directories(vantrel_monitor_pure PUBLIC ${PROJECT_SOURCE_DIR})

vantrel_test(face_pictures_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/FacePicturesTest.cpp LIBS vantrel_monitor_pure)

