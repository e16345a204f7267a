# Cross-builds for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix): the
# posix thread model, because the lock's wait and the programs use std::thread and
# std::this_thread. The programs link the C and C++ runtimes statically, so that the .exe
# files run on a Windows machine with nothing else installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# The editor's Qt, built for MinGW by scripts/build-qt-mingw.sh, is found in its install folder.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${PLOTVANE_MINGW_QT_DIR})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES PLOTVANE_MINGW_QT_DIR)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
