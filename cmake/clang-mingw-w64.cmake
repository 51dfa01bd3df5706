# Cross-compiles for 64-bit Windows with Debian's clang-14 over the installed mingw-w64 (posix
# thread model): a second compiler's warnings and its stricter reading of the language, with the
# same headers, C++ library and linker as the gcc build. The tests run under Wine like gcc's.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-target.cmake)
set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_C_COMPILER_TARGET ${VANTREL_MINGW_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${VANTREL_MINGW_TRIPLE})

# clang finds mingw-w64's C headers and import libraries by itself, but not the C++ library of
# mingw-w64's g++, whose folder name ("12-posix") it does not recognise as a version: its headers
# and libraries are named here, as g++ itself reports them.
execute_process(COMMAND ${VANTREL_MINGW_TRIPLE}-g++-posix -print-file-name=libstdc++.a
                OUTPUT_VARIABLE libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(gcc_dir ${libstdcxx} DIRECTORY)
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${gcc_dir}/include/c++ ${gcc_dir}/include/c++/${VANTREL_MINGW_TRIPLE})
# clang's own linker for this target is not installed: mingw-w64's bfd links, found through -B.
# With -static the driver puts its libraries in one group, and -pthread adds winpthread to it,
# which the posix model's static libstdc++ and libgcc call.
set(link_flags "-B/usr/bin/${VANTREL_MINGW_TRIPLE}- -fuse-ld=bfd -L${gcc_dir} -pthread")
set(CMAKE_EXE_LINKER_FLAGS_INIT ${link_flags})
set(CMAKE_SHARED_LINKER_FLAGS_INIT ${link_flags})
set(CMAKE_MODULE_LINKER_FLAGS_INIT ${link_flags})
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
# The rest of the binutils are mingw-w64's too (the host's objcopy may not know PE).
foreach(tool AR RANLIB OBJCOPY OBJDUMP STRIP NM)
  string(TOLOWER ${tool} name)
  set(CMAKE_${tool} /usr/bin/${VANTREL_MINGW_TRIPLE}-${name} CACHE FILEPATH "")
endforeach()
