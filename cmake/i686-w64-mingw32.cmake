# Cross build of the products for 32-bit Windows with the win32 thread model
# mingw-w64 compilers: no threading runtime, so nothing newer than the oldest
# supported Windows is imported on its behalf.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
# Archives of link-time optimised objects need the compiler's plugin in ar and ranlib.
set(CMAKE_AR i686-w64-mingw32-gcc-ar-win32)
set(CMAKE_RANLIB i686-w64-mingw32-gcc-ranlib-win32)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Everything shipped runs on a 486: our code is built for it, and the parts
# of the runtime the products link (C runtime start-up and helpers, libgcc's
# unwinder, libstdc++'s language support, zlib) come from
# scripts/build-runtime.sh, which builds them once per machine into a cache
# and names the directory. cmake/Win32.cmake applies QV_CPU_COMPILE and
# QV_CPU_LINK to every product; -B finds the start-up objects, -L the
# archives, both ahead of the system's, and crtdll.specs links the C runtime
# of crtdll.dll in place of msvcrt.dll. The test programs (the posix thread
# model compilers, QV_SYSTEM_RUNTIME) keep the system's runtime.
if(QV_SYSTEM_RUNTIME)
  return()
endif()
if(NOT QV_RUNTIME OR NOT IS_DIRECTORY "${QV_RUNTIME}")
  execute_process(COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/../scripts/build-runtime.sh
    OUTPUT_VARIABLE QV_RUNTIME OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE qv_runtime_result)
  if(NOT qv_runtime_result EQUAL 0 OR NOT IS_DIRECTORY "${QV_RUNTIME}")
    message(FATAL_ERROR "scripts/build-runtime.sh failed: the 486 runtime is missing")
  endif()
  set(QV_RUNTIME ${QV_RUNTIME} CACHE PATH "The 486 runtime the products link (scripts/build-runtime.sh)" FORCE)
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QV_RUNTIME)
set(QV_CPU_COMPILE -march=i486 -mtune=generic)
set(QV_CPU_LINK ${QV_CPU_COMPILE} -B${QV_RUNTIME}/ -L${QV_RUNTIME} -specs=${QV_RUNTIME}/crtdll.specs)
