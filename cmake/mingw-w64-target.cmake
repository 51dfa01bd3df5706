# What every Windows cross build here shares: the target, mingw-w64's headers and libraries under
# /usr/<triple>, and its resource compiler. The including file sets CMAKE_SYSTEM_PROCESSOR
# (x86_64 or i686) and the compilers.
set(CMAKE_SYSTEM_NAME Windows)
set(VANTREL_MINGW_TRIPLE ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_RC_COMPILER ${VANTREL_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VANTREL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
