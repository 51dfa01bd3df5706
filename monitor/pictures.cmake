# The notification icon's pictures: the Windows-free face rasterizer and, on Windows, the
# image list built from it. Included from monitor/CMakeLists.txt.

add_library(vantrel_monitor_pure STATIC ${CMAKE_CURRENT_LIST_DIR}/FacePictures.cpp)
target_include_directories(vantrel_monitor_pure PUBLIC ${PROJECT_SOURCE_DIR})

vantrel_test(face_pictures_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/FacePicturesTest.cpp LIBS vantrel_monitor_pure)

if(VANTREL_WINDOWS)
  add_library(vantrel_tray_pictures STATIC ${CMAKE_CURRENT_LIST_DIR}/TrayPictures.cpp)
  target_link_libraries(vantrel_tray_pictures PUBLIC vantrel_monitor_pure vantrel_platform comctl32 gdi32 user32)

  vantrel_test(tray_pictures_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/TrayPicturesTest.cpp
               LIBS vantrel_tray_pictures vantrel_resources)
endif()
