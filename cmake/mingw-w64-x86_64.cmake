# Cross-compiling for 64-bit Windows with Debian's mingw-w64 toolchain.
#
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DVEXMEND_WIN_PREFIX=/path/to/prefix ...
#
# VEXMEND_WIN_PREFIX is where the Windows builds of Poco Foundation and
# googletest were installed (tools/windows/build-windows.sh makes it).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_mingw x86_64-w64-mingw32)

# The posix thread model is the one whose libstdc++ has std::thread and
# std::mutex; the win32 variant of gcc 12 lacks them.
find_program(_mingw_cc NAMES ${_mingw}-gcc-posix ${_mingw}-gcc REQUIRED)
find_program(_mingw_cxx NAMES ${_mingw}-g++-posix ${_mingw}-g++ REQUIRED)
set(CMAKE_C_COMPILER ${_mingw_cc})
set(CMAKE_CXX_COMPILER ${_mingw_cxx})
set(CMAKE_RC_COMPILER ${_mingw}-windres)

if(NOT VEXMEND_WIN_PREFIX AND DEFINED ENV{VEXMEND_WIN_PREFIX})
  set(VEXMEND_WIN_PREFIX $ENV{VEXMEND_WIN_PREFIX})
endif()
# Try-compile projects see the variable too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VEXMEND_WIN_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${_mingw} ${VEXMEND_WIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs built here run under wine, which finds them by this name.
find_program(_wine NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(_wine)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${_wine})
endif()
