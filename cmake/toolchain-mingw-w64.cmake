# What both MinGW-w64 toolchain files share: Debian's cross compilers (win32 thread model) for
# the TESSALY_MINGW_PREFIX that the including file sets.
set(CMAKE_SYSTEM_NAME Windows)

# Named with their thread model, so the DLL does not depend on which one the system's
# alternatives point at; the test programs use the posix twins (tests/CMakeLists.txt).
set(CMAKE_C_COMPILER   ${TESSALY_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${TESSALY_MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER  ${TESSALY_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP      ${TESSALY_MINGW_PREFIX}-objdump CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${TESSALY_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
