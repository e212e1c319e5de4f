# The cross builds for i686 Windows, all static. Two trees share this file:
#  - the products tree (QV_WIN32_TESTS OFF, win32 thread model compilers) builds
#    everything that is shipped, i.e. copied into dist/ with qv_ship();
#  - the test tree (QV_WIN32_TESTS ON, posix thread model compilers, which
#    GoogleTest needs) builds the fixture programs and the Windows test
#    programs, which are never shipped.
include(cmake/Common.cmake)
option(QV_WIN32_TESTS "Build the Windows test programs and fixtures instead of the products" OFF)
set(QV_DIST ${CMAKE_SOURCE_DIR}/dist)
add_compile_options(${QV_WARNINGS} -ffunction-sections -fdata-sections)
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501 WINVER=0x0501 _WIN32_IE=0x0600)
add_link_options(-static -static-libgcc -static-libstdc++ -Wl,--gc-sections)
# The products look up no types at run time (exceptions carry what they need).
# They are optimised for size as one whole at link time: the linker drops the
# copies of string and container code that every file instantiates, and what a
# single caller uses is folded into it. The whole program is one partition:
# split into several, this compiler fails on symbols shared between them.
# Stack slots need no 16-byte alignment on i686 (nothing uses SSE).
# Every product runs on a 486, the runtime it links included (see the
# toolchain file).
if(NOT QV_WIN32_TESTS)
  if(NOT QV_CPU_LINK)
    message(FATAL_ERROR "the products need the toolchain file cmake/i686-w64-mingw32.cmake")
  endif()
  add_compile_options(${QV_CPU_COMPILE})
  add_link_options(${QV_CPU_LINK})
  add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-fno-rtti> -flto -fno-fat-lto-objects -mpreferred-stack-boundary=2)
  add_link_options(-flto -flto-partition=one -mpreferred-stack-boundary=2)
endif()

include(cmake/Lzma.cmake)

# The products must not carry the posix threading runtime: it imports functions
# that the oldest supported Windows lacks.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -v ERROR_VARIABLE QV_COMPILER_INFO OUTPUT_QUIET)
string(REGEX MATCH "Thread model: [a-z0-9]+" QV_THREAD_MODEL "${QV_COMPILER_INFO}")
if(NOT QV_WIN32_TESTS AND NOT QV_THREAD_MODEL STREQUAL "Thread model: win32")
  message(FATAL_ERROR "the products need the win32 thread model compilers "
    "(cmake/i686-w64-mingw32.cmake); ${CMAKE_CXX_COMPILER} has '${QV_THREAD_MODEL}'")
endif()

file(GLOB QV_OS_WIN32_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/os/win32/*.cpp)
add_library(qv_os STATIC ${QV_OS_WIN32_SOURCES})
target_include_directories(qv_os PUBLIC ${CMAKE_SOURCE_DIR})
# The programs import only from NT 4.0's KnownDLLs, which the loader never takes from beside
# the program; the common controls and OLE are loaded from the System folder (os/win32).
target_link_libraries(qv_os PUBLIC uuid shell32 comdlg32 advapi32 user32 gdi32 kernel32)

add_library(qv_logic STATIC ${QV_LOGIC_SOURCES})
# setup.exe and UNZDLL.DLL share 400,000 bytes. The files below throw
# nothing and no exception of the system passes through them (they call no
# handler, list reader or registry writer that throws): they are compiled for
# size first and without exception tables. Only running out of memory could
# still raise one there, which ends the program as the terminate handler does.
set_source_files_properties(${CMAKE_SOURCE_DIR}/engine/RunJournal.cpp ${CMAKE_SOURCE_DIR}/engine/DelayedReplacement.cpp
                            ${CMAKE_SOURCE_DIR}/sys/Folders.cpp ${CMAKE_SOURCE_DIR}/sys/Launch.cpp
                            ${CMAKE_SOURCE_DIR}/sys/Restart.cpp ${CMAKE_SOURCE_DIR}/sys/WindowsVersion.cpp
                            ${CMAKE_SOURCE_DIR}/sys/Dialogs.cpp
                            ${CMAKE_SOURCE_DIR}/engine/InstallLog.cpp ${CMAKE_SOURCE_DIR}/engine/TextFile.cpp
                            ${CMAKE_SOURCE_DIR}/sys/PathText.cpp ${CMAKE_SOURCE_DIR}/sys/TextBytes.cpp
                            ${CMAKE_SOURCE_DIR}/sys/ResolvedPath.cpp ${CMAKE_SOURCE_DIR}/engine/UninstallData.cpp
                            ${CMAKE_SOURCE_DIR}/engine/SetupState.cpp ${CMAKE_SOURCE_DIR}/app/WizardFlow.cpp
                            ${CMAKE_SOURCE_DIR}/os/win32/Win32Files.cpp ${CMAKE_SOURCE_DIR}/os/win32/Win32Registry.cpp
                            ${CMAKE_SOURCE_DIR}/os/win32/Win32DelayedFiles.cpp ${CMAKE_SOURCE_DIR}/os/win32/Win32Disk.cpp
                            ${CMAKE_SOURCE_DIR}/os/win32/Win32Session.cpp ${CMAKE_SOURCE_DIR}/os/win32/Win32Compat.cpp
                            ${CMAKE_SOURCE_DIR}/os/win32/Win32System.cpp ${CMAKE_SOURCE_DIR}/os/win32/Win32Shell.cpp
                            ${CMAKE_SOURCE_DIR}/app/BackgroundForm.cpp ${CMAKE_SOURCE_DIR}/app/CopyWindow.cpp
                            ${CMAKE_SOURCE_DIR}/engine/ExitCode.cpp
                            PROPERTIES COMPILE_OPTIONS "-fno-exceptions;-Oz")
target_include_directories(qv_logic PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(qv_logic PUBLIC qv_os)

# What every product links in place of parts of the standard library: a
# terminate handler that only aborts, and error helpers that need no second
# string implementation.
file(GLOB QV_PRODUCT_RUNTIME_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/os/win32/runtime/*.cpp)
add_library(qv_product_runtime OBJECT ${QV_PRODUCT_RUNTIME_SOURCES})

# qv_ship(TARGET FILE): TARGET is a product; it is copied into dist/ as FILE
# after every link. Every binary in dist/ is shipped and passes the import
# check. Products are stripped, and programs carry no relocations (nothing
# moves a program from its preferred address on the systems we support).
# Every link writes a map into build/win32/ship/: scripts/check-cpu-floor.sh
# reads it to name the function of every instruction it finds and to leave
# out the data the linker puts among the code. The link-time code generation
# keeps a section per function, so that the map names our functions too.
set(QV_SHIP_DIR ${CMAKE_BINARY_DIR}/ship)
function(qv_ship target file)
  target_sources(${target} PRIVATE $<TARGET_OBJECTS:qv_product_runtime>)
  target_link_options(${target} PRIVATE -s -ffunction-sections -Wl,-Map=${QV_SHIP_DIR}/${file}.map)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    target_link_options(${target} PRIVATE -Wl,--disable-dynamicbase,--disable-reloc-section)
  endif()
  add_custom_command(TARGET ${target} PRE_LINK
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QV_SHIP_DIR})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QV_DIST}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${target}> ${QV_DIST}/${file})
endfunction()

# qv_use_product(TARGET FILE DIR): a test program TARGET needs the product
# dist/FILE in DIR; copied on every build, since the products tree builds it.
function(qv_use_product target file dir)
  string(MAKE_C_IDENTIFIER "${target}_${file}_${dir}" name)
  add_custom_target(${name} ALL
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QV_DIST}/${file} ${dir}/${file})
  add_dependencies(${target} ${name})
endfunction()

if(NOT QV_WIN32_TESTS)
  add_executable(setup WIN32 ${CMAKE_SOURCE_DIR}/app/Main.cpp ${CMAKE_SOURCE_DIR}/os/win32/setup.rc)
  target_link_libraries(setup PRIVATE qv_logic)
  qv_ship(setup setup.exe)

  add_subdirectory(${CMAKE_SOURCE_DIR}/unzdll ${CMAKE_BINARY_DIR}/unzdll)
  add_subdirectory(${CMAKE_SOURCE_DIR}/uninst ${CMAKE_BINARY_DIR}/uninst)
  add_subdirectory(${CMAKE_SOURCE_DIR}/sfx ${CMAKE_BINARY_DIR}/sfx)
  add_subdirectory(${CMAKE_SOURCE_DIR}/tools/setupcheck ${CMAKE_BINARY_DIR}/tools/setupcheck)
else()
  include(cmake/Win32Tests.cmake)
endif()
