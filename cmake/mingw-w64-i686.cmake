# Cross-compiles for 32-bit x86 Windows with Debian's mingw-w64 (posix thread model). This is the
# build that Windows on ARM runs (it emulates x86 only). The machines here run no 32-bit code
# (their kernels have 32-bit emulation disabled), so nothing built with this file is run: there
# is no emulator for CTest, and the build alone catches what differs on x86 (stdcall callbacks,
# record sizes, 32-bit pointers).
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-target.cmake)
set(CMAKE_C_COMPILER ${VANTREL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VANTREL_MINGW_TRIPLE}-g++-posix)
