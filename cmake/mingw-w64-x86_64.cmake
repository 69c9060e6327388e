# Cross-build for 64-bit Windows with Debian's mingw-w64 (posix thread model, needed for
# std::this_thread::sleep_until and friends).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TIDEFILL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TIDEFILL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TIDEFILL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TIDEFILL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TIDEFILL_MINGW_PREFIX})
# Programs come from the build machine; headers and libraries from the target's root only.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Lets add_test and `ctest` run the cross-built programs through Wine when it is there.
find_program(TIDEFILL_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TIDEFILL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TIDEFILL_WINE})
endif()
