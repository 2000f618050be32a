# Cross build for Windows with Debian's mingw-w64 (posix thread model).
# S2M_ARCH picks the target: i686 (the shipped plug-in) or x86_64 (the test
# build on machines whose kernel cannot run 32-bit Wine).
set(S2M_ARCH "i686" CACHE STRING "Windows target: i686 or x86_64")
set_property(CACHE S2M_ARCH PROPERTY STRINGS i686 x86_64)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${S2M_ARCH})

set(S2M_MINGW_PREFIX ${S2M_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER   ${S2M_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${S2M_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${S2M_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${S2M_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
