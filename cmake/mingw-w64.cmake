# Cross-builds the Windows (x86-64) binaries with Debian's MinGW-w64 on Linux.
# The posix thread model gives std::thread and std::mutex to the C++ library.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOLVEX_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TOLVEX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOLVEX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOLVEX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOLVEX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Link the compiler's runtime statically, so the programs run under Wine (or
# on a Windows machine) without MinGW's DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Programs built here run through Wine (for test discovery and CTest).
find_program(TOLVEX_WINE NAMES wine wine64)
if(TOLVEX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TOLVEX_WINE})
endif()
