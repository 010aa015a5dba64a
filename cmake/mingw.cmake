# Cross toolchain for MinGW-w64. MINGW_ARCH selects i686 (the shipped
# 32-bit build) or x86_64 (for hosts that cannot run 32-bit Wine).
if(NOT MINGW_ARCH)
  set(MINGW_ARCH i686)
endif()
set(MINGW_ARCH ${MINGW_ARCH} CACHE STRING "i686 or x86_64")
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MINGW_ARCH)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${MINGW_ARCH})
set(_prefix ${MINGW_ARCH}-w64-mingw32)

# The posix thread model gives std::mutex, which GoogleTest needs.
set(CMAKE_C_COMPILER ${_prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_prefix}-g++-posix)
set(CMAKE_RC_COMPILER ${_prefix}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test programs run under Wine through the runner's loader choice.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-exec)
