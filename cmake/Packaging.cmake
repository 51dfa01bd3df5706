# The portable zip a Windows user downloads: vantrel.exe without its debug information, the
# README and the licence; the debug information in a zip of its own, and a SHA-256 sum file for
# both. `cpack --preset windows` (or windows-x86) after the build presets of the same name.

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(VANTREL_PACKAGE_ARCH win64)
else()
  set(VANTREL_PACKAGE_ARCH win32)
endif()
set(VANTREL_PACKAGE_NAME vantrel-${PROJECT_VERSION}-${VANTREL_PACKAGE_ARCH})

# Text files under names that Windows opens with a double click.
install(TARGETS vantrel RUNTIME DESTINATION . COMPONENT program)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION . RENAME README.txt COMPONENT program)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt COMPONENT program)
if(MSVC)
  install(FILES $<TARGET_PDB_FILE:vantrel> DESTINATION . COMPONENT symbols)
else()
  install(FILES $<TARGET_FILE:vantrel>.debug DESTINATION . COMPONENT symbols)
endif()

set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VENDOR "Durvane Computing")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR ZIP)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL program symbols)
set(CPACK_ARCHIVE_PROGRAM_FILE_NAME ${VANTREL_PACKAGE_NAME})
set(CPACK_ARCHIVE_SYMBOLS_FILE_NAME ${VANTREL_PACKAGE_NAME}-symbols)
# Unpacked, each zip is one folder rather than files strewn where it lands; the symbols zip has
# the program's folder, so that unpacked beside it the debug information lands next to
# vantrel.exe, where a debugger looks for it.
set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_FILE_NAME ${VANTREL_PACKAGE_NAME})
set(CPACK_VANTREL_SUM_FILE ${VANTREL_PACKAGE_NAME}.sha256)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/PackageSums.cmake)
include(CPack)
