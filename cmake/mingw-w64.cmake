# Cross build for Windows with Debian's MinGW-w64 (POSIX thread model, which GoogleTest's std::mutex
# needs). TSENDREL_MINGW_ARCH picks x86_64 (the default) or i686.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT TSENDREL_MINGW_ARCH)
  set(TSENDREL_MINGW_ARCH x86_64)
endif()
set(CMAKE_SYSTEM_PROCESSOR ${TSENDREL_MINGW_ARCH})
set(triple ${TSENDREL_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The programs and the DLL carry their runtime inside: nothing but Windows' own DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
