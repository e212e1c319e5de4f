# Cross build of the Windows test programs and fixtures with the posix thread
# model mingw-w64 compilers, whose standard library has the threads GoogleTest
# uses. Never used for a shipped binary.
set(QV_SYSTEM_RUNTIME ON)
include(${CMAKE_CURRENT_LIST_DIR}/i686-w64-mingw32.cmake)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
