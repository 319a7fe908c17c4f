# Shared by the two MinGW toolchain files; QUELDER_MINGW_TRIPLE names the target.
set(CMAKE_C_COMPILER ${QUELDER_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUELDER_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUELDER_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QUELDER_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Windows programs run under Wine through this wrapper: the 64-bit ones here,
# the 32-bit ones in the guest of cmake/win32-lane.sh (this machine's kernel
# runs no 32-bit code).
if(QUELDER_MINGW_TRIPLE STREQUAL "x86_64-w64-mingw32")
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
else()
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh --32)
endif()
